#pragma once
// TOpenPictureDialog: the open dialog for pictures of the artwork and
// contact details dialogs. Always the widget dialog, because it carries a
// preview pane of the selected picture beside the file list; with
// ThumbnailView the list shows each picture as a thumbnail instead of an
// icon. Every picture chooser of a run opens where the last picture was
// chosen, unless it is given a file to start from. Main thread only.
#include "output/FileDialog.h"

#include <QSize>
#include <memory>

class QAbstractFileIconProvider;

class TOpenPictureDialog : public TOpenDialog {
public:
    TOpenPictureDialog();
    ~TOpenPictureDialog() override;

    // Switch the list to thumbnails when the dialog is shown.
    bool ThumbnailView = false;

    // Puts the dialog's file list in icon mode with thumbnails read at icon
    // size, so a folder of large photographs is not decoded in full.
    void SwitchToThumbnailView(QFileDialog& dialog);

    // The formats artworks may come in, for the artwork dialog's chooser.
    static constexpr const char* kArtworkFilter =
        "All Image Files|*.jpg;*.jpeg;*.png;*.bmp;*.gif;*.tif;*.tiff|PNG Images|*.png|JPEG Images|*.jpg;*.jpeg|"
        "BMP Images|*.bmp|GIF Images|*.gif|TIFF Images|*.tif;*.tiff";

    static constexpr QSize kThumbnailSize{96, 96};
    static constexpr QSize kPreviewSize{180, 180};

protected:
    void PrepareDialog(QFileDialog& dialog) override;

private:
    // Outlives every run's dialog, which does not own it.
    std::unique_ptr<QAbstractFileIconProvider> thumbnails_;
};
