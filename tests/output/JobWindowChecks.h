#pragma once
// What the user must be able to read in a job window (progress, burn and
// update windows alike): the whole status, wrapped, with the bar and the
// button below it and everything inside the window.
#include "output/JobWindow.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

inline void ExpectWholeStatusShown(const JobWindow& window)
{
    const QLabel* label = window.Label1;
    const QRect needed = QFontMetrics(label->font())
                             .boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, label->text());
    EXPECT_TRUE(label->wordWrap()) << "a status that does not wrap is cut off";
    EXPECT_LE(needed.width(), label->width());
    EXPECT_LE(needed.height(), label->height()) << label->text().toStdString();
    EXPECT_LE(label->geometry().right(), window.width());
    EXPECT_GT(window.ProgressBar1->y(), label->geometry().bottom());
    EXPECT_GT(window.Button1->y(), window.ProgressBar1->geometry().bottom());
    EXPECT_LE(window.Button1->geometry().bottom(), window.height());
}

// Statuses users met cut off, and a short one that takes the window back to
// its designed size.
inline const char* const kLongStatuses[] = {
    "Failure. Authentication failed, please check your username, password and the server's settings before you "
    "try to send your E-Mail again.",
    "Error: Operation timed out after 15000 milliseconds with 0 bytes received from the update host, which did "
    "not answer in time.",
};
