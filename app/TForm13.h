#pragma once
// TForm13 (unit CropPictureForm): the crop dialog, modal, made at start-up.
// Shows the artwork's picture scaled into a 400-pixel square with four bars
// for its edges: vertical ones beside it for the top and bottom, horizontal
// ones above and below it for the left and right. Apply hands the chosen
// edges, in picture pixels, to the caller. Main thread only.
#include "app/CropMapping.h"

#include <QDialog>
#include <QImage>
#include <memory>

class Picture;

namespace Ui {
class TForm13;
}

class TForm13 : public QDialog {
    Q_OBJECT

public:
    explicit TForm13(QWidget* owner = nullptr);
    ~TForm13() override;

    // mrOk when the user applied edges that cut something away; mrCancel
    // otherwise, and at once, without the dialog, for a picture without an
    // image.
    int CropPicture(Picture* picture);
    // Fills the dialog with the picture, bars at its borders, unshown; false
    // when it has no image to show.
    bool LoadPicture(Picture* picture);

    int GetCropLeft() const { return edges_.left; }
    int GetCropTop() const { return edges_.top; }
    int GetCropRight() const { return edges_.right; }
    int GetCropBottom() const { return edges_.bottom; }

    void done(int result) override;

public slots:
    void ScrollBar1Scroll();
    void ScrollBar2Scroll();
    void ScrollBar3Scroll();
    void ScrollBar4Scroll();
    void Button2Click();

private:
    // Shows the scaled picture with the edge rectangle where the bars are.
    void DrawEdges();
    // Places the bars along the picture as shown, each thumb over its edge.
    void LineUpBars();

    std::unique_ptr<Ui::TForm13> ui_;
    Picture* picture_ = nullptr;
    CropEdges edges_;
    QSize pictureSize_;
    QSize displaySize_;
    // The focus rectangle in display pixels; its edges follow the bars and
    // may cross.
    CropEdges focus_;
    // The picture as shown, without the rectangle.
    QImage shown_;
};

// The crop dialog for the rest of the run.
extern TForm13* Form13;
