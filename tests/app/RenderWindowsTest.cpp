#include "tests/support/TempDir.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

#include <sstream>

namespace {

std::vector<std::string> StateNames()
{
    std::string out;
    EXPECT_EQ(RunCommand(std::string("'") + RENDER_WINDOWS_TOOL + "' --list", &out), 0) << out;
    std::vector<std::string> names;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            names.push_back(line);
    return names;
}

TEST(RenderWindows, EveryStateIsWrittenAndNotBlank)
{
    TempDir out;
    std::string log;
    const int status = RunCommand(std::string("VELMORA_RENDERER='") + RENDER_WINDOWS_TOOL + "' bash '" +
                                      RENDER_WINDOWS_SCRIPT + "' '" + out.Path().string() + "'",
                                  &log);
    ASSERT_EQ(status, 0) << log;

    const std::vector<std::string> names = StateNames();
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        QImage image(QString::fromStdString((out.Path() / (name + ".png")).string()));
        ASSERT_FALSE(image.isNull());
        EXPECT_GE(image.width(), 50);
        EXPECT_GE(image.height(), 50);
        // A blank grab is one colour; a window has at least text and frames.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height() && colours.size() < 3; y += 2)
            for (int x = 0; x < image.width() && colours.size() < 3; x += 2)
                colours.insert(image.pixel(x, y));
        EXPECT_GE(colours.size(), 3);
    }
}

} // namespace
