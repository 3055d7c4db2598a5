// A command-line front of the archiver for side-by-side timing with other
// programs (bench/archiver_vs_tools.sh):
//   archiver_tool create ARCHIVE FOLDER [PASSWORD]   (deflate level 1)
//   archiver_tool extract ARCHIVE FOLDER [PASSWORD]
#include <cstdio>
#include <filesystem>
#include <string>

#include "zip/EZAException.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s create|extract ARCHIVE FOLDER [PASSWORD]\n", argv[0]);
        return 2;
    }
    const std::string command = argv[1];
    try {
        TZipArchiver a;
        a.FileName = W(std::filesystem::absolute(argv[2]).string());
        if (argc > 4)
            a.SetPassword(argv[4]);
        a.SetCompressionLevel(clFastest);
        const std::string folder = std::filesystem::absolute(argv[3]).string();
        if (command == "create") {
            a.BaseDir = W(folder);
            a.OpenArchive(0xFFFF);
            a.BeginUpdate();
            for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
                if (e.is_regular_file())
                    a.AddFile(W(e.path().string()));
            a.EndUpdate();
            a.CloseArchive();
        } else {
            a.OpenArchive(0);
            a.ExtractFiles(u"*", W(folder));
            a.CloseArchive();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
