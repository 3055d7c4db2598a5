#include "app/TButtonGroup.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QMenu>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

namespace {

// A push button that shows its image and caption from the left edge.
class GroupButton : public QAbstractButton {
public:
    GroupButton(const QPixmap& image, const QString& caption, QWidget* parent)
        : QAbstractButton(parent), image_(image)
    {
        setText(caption);
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::StrongFocus);
    }

    QSize sizeHint() const override { return {350, 48}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        option.initFrom(this);
        option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        painter.drawControl(QStyle::CE_PushButtonBevel, option);
        QRect area = rect().adjusted(8, 0, -8, 0);
        if (!image_.isNull()) {
            painter.drawPixmap(area.left(), (height() - image_.height()) / 2, image_);
            area.setLeft(area.left() + image_.width() + 8);
        }
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        painter.drawItemText(area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                             QPalette::ButtonText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect().adjusted(3, 3, -3, -3);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

private:
    QPixmap image_;
};

} // namespace

TButtonGroup::TButtonGroup(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setBackgroundRole(QPalette::Window);
    strip_ = new QWidget;
    strip_->setBackgroundRole(QPalette::Window);
    layout_ = new QVBoxLayout(strip_);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->addStretch(1);
    setWidget(strip_);
}

TButtonGroup::~TButtonGroup() = default;

void TButtonGroup::BeginUpdate()
{
    ++updating_;
}

void TButtonGroup::EndUpdate()
{
    if (updating_ > 0 && --updating_ == 0)
        Rebuild();
}

void TButtonGroup::Clear()
{
    items_.clear();
    Rebuild();
}

int TButtonGroup::Add(const QString& caption, int imageIndex)
{
    items_.push_back({caption, imageIndex});
    Rebuild();
    return Count() - 1;
}

void TButtonGroup::Move(int from, int to)
{
    if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to)
        return;
    Item moved = items_[static_cast<size_t>(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, moved);
    Rebuild();
}

const TButtonGroup::Item* TButtonGroup::At(int index) const
{
    return index >= 0 && index < Count() ? &items_[static_cast<size_t>(index)] : nullptr;
}

void TButtonGroup::SetImages(const QList<QPixmap>* images)
{
    images_ = images;
    Rebuild();
}

void TButtonGroup::SetButtonHeight(int height)
{
    buttonHeight_ = height;
    Rebuild();
}

QAbstractButton* TButtonGroup::Button(int index) const
{
    return index >= 0 && index < static_cast<int>(buttons_.size()) ? buttons_[static_cast<size_t>(index)] : nullptr;
}

QRect TButtonGroup::ItemRect(int index) const
{
    const QAbstractButton* button = Button(index);
    if (!button)
        return {};
    return QRect(button->mapTo(viewport(), QPoint(0, 0)), button->size());
}

int TButtonGroup::IndexAt(const QPoint& pos) const
{
    for (int i = 0; i < static_cast<int>(buttons_.size()); ++i)
        if (ItemRect(i).contains(pos))
            return i;
    return -1;
}

void TButtonGroup::Rebuild()
{
    if (updating_ > 0)
        return;
    // The clicked button may be the one whose handler rebuilds the group.
    for (QAbstractButton* button : buttons_) {
        layout_->removeWidget(button);
        button->hide();
        button->deleteLater();
    }
    buttons_.clear();
    for (size_t i = 0; i < items_.size(); ++i) {
        const Item& item = items_[i];
        QPixmap image;
        if (images_ && item.ImageIndex >= 0 && item.ImageIndex < images_->size())
            image = images_->at(item.ImageIndex);
        auto* button = new GroupButton(image, item.Caption, strip_);
        button->setFixedHeight(buttonHeight_);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        const int index = static_cast<int>(i);
        connect(button, &QAbstractButton::clicked, this, [this, index] { emit ButtonClicked(index); });
        layout_->insertWidget(index, button);
        buttons_.push_back(button);
    }
    // Geometry follows from the layout; hit tests right after a rebuild
    // must already see it.
    strip_->adjustSize();
    layout_->activate();
}

void TButtonGroup::contextMenuEvent(QContextMenuEvent* event)
{
    // The event reaches us from a button or the strip, its point already
    // in the viewport's coordinates.
    bool handled = false;
    if (OnContextPopup)
        OnContextPopup(event->pos(), handled);
    event->accept();
    if (!handled && popupMenu_)
        popupMenu_->popup(event->globalPos());
}
