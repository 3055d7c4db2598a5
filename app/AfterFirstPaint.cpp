#include "app/AfterFirstPaint.h"

#include <QEvent>
#include <QWidget>

AfterFirstPaint::AfterFirstPaint(QObject* context, std::function<void()> call)
    : QObject(context), call_(std::move(call))
{
}

void AfterFirstPaint::Run(QWidget* window, QObject* context, std::function<void()> call)
{
    window->installEventFilter(new AfterFirstPaint(context, std::move(call)));
}

bool AfterFirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        // Queued behind the paint and the flush that puts it on screen.
        QMetaObject::invokeMethod(
            this,
            [this] {
                const std::function<void()> call = std::move(call_);
                deleteLater();
                call();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
