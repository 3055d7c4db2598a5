#include "output/UniqueNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One step: a name added as it is (expected empty) or taken (expected: what
// comes back).
struct Step {
    std::string name;
    bool add;
    std::string expected;
};

void RunSteps(const std::vector<Step>& steps)
{
    UniqueNames names;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.add)
            names.Add(step.name);
        else
            EXPECT_EQ(names.Take(step.name), step.expected);
    }
}

} // namespace

TEST(UniqueNamesTest, NamesComeBackFreeWithoutRegardToLetterCase)
{
    RunSteps({{"IMG_0001.JPG", false, "IMG_0001.JPG"},
         {"img_0001.jpg", false, "img_0001-2.jpg"},
         {"IMG_0001.JPG", false, "IMG_0001-3.JPG"},
         // Added later, between takes: the numbering skips it.
         {"img_0001-4.jpg", true, ""},
         {"IMG_0001.JPG", false, "IMG_0001-5.JPG"},
         // A name that looks numbered is a name of its own.
         {"IMG_0001-2.JPG", false, "IMG_0001-2-2.JPG"},
         {".profile", false, ".profile"},
         {".profile", false, ".profile-2"},
         {"notes.a-very-long-suffix-not-an-extension", false, "notes.a-very-long-suffix-not-an-extension"},
         {"notes.a-very-long-suffix-not-an-extension", false, "notes.a-very-long-suffix-not-an-extension-2"},
         {"README", false, "README"},
         {"readme", false, "readme-2"}});
}

TEST(UniqueNamesTest, NamesTakenFirstByAddAreNumberedFromTwo)
{
    RunSteps({{"word.png", true, ""},
         {"000.html", true, ""},
         {"000-2.html", true, ""},
         {"Word.PNG", false, "Word-2.PNG"},
         {"000.html", false, "000-3.html"},
         {"000.html", false, "000-4.html"}});
}

// Many artworks of one file name: every one gets a name of its own, in
// order, as a folder of 100,000 photographs from one camera needs.
TEST(UniqueNamesTest, ManyOfOneNameAreNumberedInOrder)
{
    UniqueNames names;
    EXPECT_EQ(names.Take("IMG.JPG"), "IMG.JPG");
    for (int i = 2; i <= 20000; ++i)
        ASSERT_EQ(names.Take(i % 2 ? "IMG.JPG" : "img.jpg"), (i % 2 ? "IMG-" : "img-") + std::to_string(i) + (i % 2 ? ".JPG" : ".jpg"));
    EXPECT_TRUE(names.Contains("Img-20000.Jpg"));
    EXPECT_FALSE(names.Contains("IMG-20001.JPG"));
}

TEST(UniqueNamesTest, LongNamesAreCutKeepingTheExtensionAndWholeLetters)
{
    // 100 letters of three bytes: 300 bytes.
    std::string stem;
    for (int i = 0; i < 100; ++i)
        stem += "\xE5\xB1\xB1";
    UniqueNames names;
    const std::string first = names.Take(stem + ".png");
    const std::string second = names.Take(stem + "x.png");
    EXPECT_EQ(first, stem.substr(0, 249) + ".png");
    // Cut to the same name, so numbered, the number inside the 255 bytes.
    EXPECT_EQ(second, stem.substr(0, 249) + "-2.png");
    EXPECT_LE(second.size(), 255u);
}
