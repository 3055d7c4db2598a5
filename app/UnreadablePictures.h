#pragma once
// The one message for picture files that did not become artworks: missing,
// not a regular file, or not decodable as a picture.
#include <string>
#include <vector>

// One file: `The file "<path>" could not be read as a picture.`; several:
// a heading and one path per line. Empty for none.
std::string UnreadablePicturesText(const std::vector<std::string>& paths);
