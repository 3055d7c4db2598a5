#pragma once
// The one message for picture files that did not become artworks, each
// with the reason found for it: missing, a folder or special file, not
// readable by the user, larger than a picture may be, not in a format the
// program reads, stored so that decoding it would cost far more than its
// pixels (see TDecoderInput), or damaged.
#include <string>
#include <vector>

// One file: `The file "<path>" could not be read as a picture: <reason>.`;
// several: a heading and one "<path>: <reason>" per line. Empty for none.
std::string UnreadablePicturesText(const std::vector<std::string>& paths);
// Why the file at path is no picture the program takes, as the end of a
// sentence ("it is a folder"), found by looking at it again.
std::string WhyNoPicture(const std::string& path);
