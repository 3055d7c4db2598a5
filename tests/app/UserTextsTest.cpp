// Misspellings once shown to users, in the windows' forms and in the texts
// the program's sources hand to message boxes and status lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(UserTexts, KnownMisspellingsAreGone)
{
    const char* const misspelled[] = {
        "temlpate", "Couldnt find", "templates name", "origional", "initilize", "chang the", "\"Ooops!\"",
    };
    const std::filesystem::path root = std::getenv("VELMORA_SOURCE_DIR");
    int files = 0;
    for (const char* folder : {"app", "controls", "model", "output", "services", "platform", "zip"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".ui" && extension != ".cpp" && extension != ".h"))
                continue;
            ++files;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            for (const char* word : misspelled)
                EXPECT_EQ(text.str().find(word), std::string::npos) << word << " in " << entry.path();
        }
    }
    EXPECT_GT(files, 0);
}

} // namespace
