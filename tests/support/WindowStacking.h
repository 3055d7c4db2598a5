#pragma once
// What covers a window on a real screen: the offscreen platform stacks
// nothing, so tests check the rule a window manager follows instead. A
// window that stays on top covers every window that does not, unless that
// window belongs to it (a box parented to it is kept above it).
#include <QApplication>
#include <QWidget>

#include <string>
#include <vector>

// Titles of the shown windows that would cover window.
inline std::vector<std::string> WindowsCovering(const QWidget* window)
{
    std::vector<std::string> covering;
    if (window->windowFlags() & Qt::WindowStaysOnTopHint)
        return covering;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible() || !(other->windowFlags() & Qt::WindowStaysOnTopHint))
            continue;
        bool owner = false;
        for (const QWidget* up = window->parentWidget(); up && !owner; up = up->parentWidget())
            owner = up->window() == other;
        if (!owner)
            covering.push_back(other->windowTitle().toStdString());
    }
    return covering;
}
