#include <gtest/gtest.h>

#include <sstream>

#include "controls/TSmoothImageListBoxSplitter.h"

namespace {

std::string Text(const std::vector<TSplitterPiece>& pieces)
{
    std::ostringstream out;
    for (const TSplitterPiece& p : pieces)
        out << "[" << p.Start << "," << p.End << "]";
    return out.str();
}

}  // namespace

// A splitter cell from 0 to 200 along its axis. The text sits where its
// location puts it (left 0..40, centre 80..120, right 160..200); the expander
// likewise (left 0..20, centre 90..110, right 180..200), or moved out of the
// text's way where both share a location.
TEST(SplitterPieces, LeaveGapsForTextAndExpander)
{
    struct Case {
        TSmoothImageListBoxLocation text, expander;
        float ts, te, es, ee;
        const char* pieces;
    } cases[] = {
        // Neither in the centre row: one piece over the whole cell.
        {cpTopLeft, cpBottomRight, 0, 40, 180, 200, "[0,200]"},
        {cpTopCenter, cpCenterLeft, 80, 120, 0, 20, "[20,200]"},
        {cpCustom, cpCenterCenter, 5, 15, 90, 110, "[0,90][110,200]"},
        {cpBottomLeft, cpCenterRight, 0, 40, 180, 200, "[0,180]"},
        {cpCenterLeft, cpTopLeft, 0, 40, 0, 20, "[40,200]"},
        // Expander pushed behind the text: the touching stretch has no length.
        {cpCenterLeft, cpCenterLeft, 0, 40, 40, 60, "[60,200]"},
        {cpCenterLeft, cpCenterCenter, 0, 40, 90, 110, "[40,90][110,200]"},
        {cpCenterLeft, cpCenterRight, 0, 40, 180, 200, "[40,180]"},
        {cpCenterCenter, cpBottomCenter, 80, 120, 90, 110, "[0,80][120,200]"},
        {cpCenterCenter, cpCenterLeft, 80, 120, 0, 20, "[20,80][120,200]"},
        {cpCenterCenter, cpCenterCenter, 80, 120, 120, 140, "[0,80][140,200]"},
        {cpCenterCenter, cpCenterRight, 80, 120, 180, 200, "[0,80][120,180]"},
        {cpCenterRight, cpTopRight, 160, 200, 180, 200, "[0,160]"},
        {cpCenterRight, cpCenterLeft, 160, 200, 0, 20, "[20,160]"},
        {cpCenterRight, cpCenterCenter, 160, 200, 90, 110, "[0,90][110,160]"},
        {cpCenterRight, cpCenterRight, 160, 200, 140, 160, "[0,140]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.pieces, Text(SplitterPieces(c.text, c.expander, 0, 200, c.ts, c.te, c.es, c.ee)))
            << "text " << c.text << ", expander " << c.expander;
}
