// States of the burn dialog of services/.
#include "app/render/RenderStates.h"
#include "services/TForm3.h"

#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <memory>

namespace {

const bool waiting = RegisterRenderState("TForm3-waiting", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm3>("Please Wait....", 0, 0, false));
});

const bool burning = RegisterRenderState("TForm3-burning-40", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm3>("Burning Portfolio...", 120, 300, false));
});

const bool finished = RegisterRenderState("TForm3-finished", [] {
    return static_cast<QWidget*>(
        ShowJobWindowState<TForm3>("Finished. Your Disk was created successfully.", 300, 300, true));
});

// A failed burn: the box that says why, parented to the dialog, over the
// dialog (which stays on top of the main window). The picture puts the two
// where a window manager shows them: the box centred over the dialog.
const bool failed = RegisterRenderState("TForm3-error-box-over-dialog", [] {
    TForm3* dialog = ShowJobWindowState<TForm3>("Error!", 0, 0, false);
    QMessageBox box(QMessageBox::Critical, "Oooops!", "No CD burners are present.", QMessageBox::Ok, dialog);
    box.show();
    const QPixmap under = dialog->grab();
    const QPixmap over = box.grab();
    box.hide();
    dialog->hide();
    QPixmap both(std::max(under.width(), over.width()) + 40, under.height() + over.height());
    both.fill(Qt::darkGray);
    QPainter painter(&both);
    const int dialogX = (both.width() - under.width()) / 2;
    painter.drawPixmap(dialogX, 0, under);
    painter.setPen(Qt::black);
    painter.drawRect(dialogX, 0, under.width() - 1, under.height() - 1);
    const QPoint boxAt((both.width() - over.width()) / 2, under.height() / 2);
    painter.drawPixmap(boxAt, over);
    painter.drawRect(QRect(boxAt, over.size()).adjusted(0, 0, -1, -1));
    painter.end();
    static std::unique_ptr<QLabel> picture;
    picture = std::make_unique<QLabel>();
    picture->setPixmap(both);
    return static_cast<QWidget*>(picture.get());
});

} // namespace
