#pragma once
// TForm2 (unit PictureForm): the artwork details dialog, modal, made at
// start-up. Creates a new artwork from a picture file or edits one: its
// image file, title, media, dimensions and description. Nothing reaches the
// artwork before OK. Main thread only.
#include <QDialog>
#include <QPixmap>
#include <memory>
#include <string>

class Picture;
class TOpenPictureDialog;

namespace Ui {
class TForm2;
}

class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* owner = nullptr);
    ~TForm2() override;

    // Asks for a picture file at once; mrCancel, without showing the dialog,
    // when none is chosen. On mrOk the new artwork is GetPicture's, not yet
    // in the portfolio: the caller adds it. Otherwise it is deleted.
    int AddArtwork();
    // Edits the artwork in place on mrOk; mrCancel for null.
    int EditArtwork(Picture* picture);
    // Fills the dialog with the artwork and its current image, unshown.
    void LoadArtwork(Picture* picture);
    // The artwork of the last call.
    Picture* GetPicture() const { return picture_; }

    // Shows the picture's current image, or with null the chosen file's.
    void ShowPreview(Picture* picture);
    // Lets the user choose the image file; false when cancelled or when the
    // file cannot be read as a picture (the user is told, and the image
    // chosen before stays).
    bool SelectImage();

    void done(int result) override;

public slots:
    void FormShow();
    void Image2Click();
    void Shape1MouseDown(Qt::MouseButton button);
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillFields(const Picture& picture);
    // The picture's current image or, with null, the file's, fitted into
    // the preview; null when there is none or the file does not decode.
    QPixmap PreviewOf(Picture* picture, const std::string& path) const;

    std::unique_ptr<Ui::TForm2> ui_;
    std::unique_ptr<TOpenPictureDialog> openPictureDialog1_;
    bool imageChanged_ = false;
    std::string imagePath_;
    Picture* picture_ = nullptr;
    // The artwork an Add made, owned here until OK hands it to the caller.
    std::unique_ptr<Picture> added_;
    // Whether the portfolio was modified before the Add made its artwork
    // (a new artwork's ID marks its owner modified).
    bool wasModified_ = false;
};

// The artwork details dialog for the rest of the run.
extern TForm2* Form2;
