#pragma once
// AddArtworksThread: picture files of the command line or of a later start
// becoming new artworks titled "New Artwork". The files are read, decoded,
// shrunk to the picture-size setting and given their strip thumbnail on
// worker threads, one per core; the artworks reach the window in the files'
// order, each as soon as it and those before it are ready, while the
// progress window counts them. The main thread only inserts them.
//
// A file that is missing, is no regular file or does not decode becomes no
// artwork; once the rest are in, one message names every such file.
// The window's Cancel stops the addition: the artworks already in stay,
// files not yet read are skipped, and no message follows.
//
// Create and delete it on the main thread.
#include "app/StripThumbnail.h"
#include "output/ProgressThread.h"

#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Picture;
class Portfolio;

// A new picture, titled "New Artwork", with its strip thumbnail.
struct DecodedArtwork {
    std::unique_ptr<Picture> picture;
    QImage thumbnail;
};

class AddArtworksThread : public ProgressThread {
public:
    // On the main thread, the artworks ready by then, in order; the callee
    // takes the pictures it keeps. Each call is one insertion into the
    // strip, which restarts the strip's loader thread: artworks that are
    // ready together come in one call.
    using Deliver = std::function<void(std::vector<DecodedArtwork>& artworks)>;

    // The portfolio must outlive the job. Starts running at once.
    AddArtworksThread(Portfolio* portfolio, std::vector<std::string> files, const StripThumbnail& thumbnail,
                      Deliver deliver);
    ~AddArtworksThread() override;

protected:
    void Execute() override;

private:
    // Any thread: the artwork of one file, or none.
    DecodedArtwork Read(const std::string& path) const;

    Portfolio* portfolio_;
    std::vector<std::string> files_;
    StripThumbnail thumbnail_;
    Deliver deliver_;
    std::vector<std::string> unreadable_;
    bool wasModified_ = false;
};
