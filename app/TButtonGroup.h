#pragma once
// TButtonGroup: a column of full-width buttons of one height, each showing
// an image of the group's image list and a caption, stacked from the top and
// scrolled when they do not fit. A click reports the button's index; a
// context-menu request asks OnContextPopup whether the popup menu may open.
// Main thread only.
#include <QList>
#include <QPixmap>
#include <QScrollArea>
#include <functional>
#include <vector>

class QAbstractButton;
class QMenu;
class QVBoxLayout;

class TButtonGroup : public QScrollArea {
    Q_OBJECT

public:
    explicit TButtonGroup(QWidget* parent = nullptr);
    ~TButtonGroup() override;

    struct Item {
        QString Caption;
        int ImageIndex = -1;
    };

    // Changes between the two rebuild the buttons once, at EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    void Clear();
    // Appends an item; returns its index.
    int Add(const QString& caption, int imageIndex);
    // Moves the item at from so that it ends up at index to.
    void Move(int from, int to);
    int Count() const { return static_cast<int>(items_.size()); }
    // Null outside 0..Count()-1.
    const Item* At(int index) const;

    // The list is not owned and must outlive the group.
    void SetImages(const QList<QPixmap>* images);
    void SetButtonHeight(int height);
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

    // Where the button of the item lies, in the viewport's coordinates; an
    // empty rectangle outside 0..Count()-1.
    QRect ItemRect(int index) const;
    // The item whose button lies under the point (viewport coordinates), or -1.
    int IndexAt(const QPoint& pos) const;
    // The button of the item, or null.
    QAbstractButton* Button(int index) const;

    // Called before the popup menu opens, with the point in viewport
    // coordinates and handled false; setting handled keeps the menu shut.
    std::function<void(const QPoint& pos, bool& handled)> OnContextPopup;

signals:
    void ButtonClicked(int index);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Rebuild();

    std::vector<Item> items_;
    std::vector<QAbstractButton*> buttons_;
    const QList<QPixmap>* images_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    QWidget* strip_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
    int buttonHeight_ = 48;
    int updating_ = 0;
};
