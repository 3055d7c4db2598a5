#pragma once
// TFrame1 (unit PictureFrame): the artwork page the main window shows in
// Panel2 while an artwork of the page strip is selected. Shows the
// artwork's picture and the buttons that edit, delete, move, rotate, flip,
// mirror and crop it. It keeps no artwork of its own: the artwork is always
// the one of the selected strip item. Main thread only.
#include <QPixmap>
#include <QWidget>
#include <memory>

class Picture;

namespace Ui {
class TFrame1;
}

class TFrame1 : public QWidget {
    Q_OBJECT

public:
    explicit TFrame1(QWidget* owner = nullptr);
    ~TFrame1() override;

    // Shows the artwork: its picture, its caption in the strip's footer,
    // its refreshed thumbnail and the move buttons that apply. Nothing for
    // null.
    void ShowPicture(Picture* picture);
    // Enables "Move Left" and "Move Right" for the selected strip item.
    void UpdateMoveButtons();

public slots:
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton4Click();
    void ToolButton6Click();
    void ToolButton8Click();
    void ToolButton7Click();
    void ToolButton9Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The artwork of the selected strip item, or null when the statement,
    // "Add Artwork" or nothing is selected.
    Picture* SelectedArtwork() const;
    // Moves the selected artwork one place left (-1) or right (1) in the
    // portfolio and the strip; the selection follows it.
    void MoveSelected(int step);
    // Puts the picture into Image1, scaled down to fit when it is larger.
    void FitImage();

    std::unique_ptr<Ui::TFrame1> ui_;
    // The artwork's image at its own size; Image1 shows it fitted.
    QPixmap image_;
};

// The artwork page, made by the main window on first use.
extern TFrame1* Frame1;
