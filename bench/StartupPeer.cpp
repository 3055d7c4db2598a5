// The peer of the program's start with pictures, as a process of its own
// for bench/startup_vs_peer.sh: starts Qt, shows a window with an icon list,
// and adds every file given as the program adds it (bench/ProgramScaleDecode.h),
// each thumbnail going into the list as it is made. Prints "all SECONDS"
// (since the process began) once every file is in, then waits to be ended.
//
//   startup_peer FILE...
//   startup_peer --write-photos FOLDER COUNT   writes camera-like JPEGs
//                                              IMG_1000.JPG ... and ends
#include <QApplication>
#include <QIcon>
#include <QListWidget>
#include <QMetaObject>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "bench/CameraJpeg.h"
#include "bench/ProgramScaleDecode.h"

namespace {

// Seconds since this process began, as /proc/self/stat counts it.
double SinceStart()
{
    unsigned long long started = 0;
    if (FILE* f = std::fopen("/proc/self/stat", "r")) {
        char buffer[1024];
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        buffer[n] = '\0';
        // Field 22, counted after the command's closing parenthesis.
        const char* p = std::strrchr(buffer, ')');
        for (int field = 2; p && field < 22; ++field)
            p = std::strchr(p + 1, ' ');
        if (p)
            started = std::strtoull(p + 1, nullptr, 10);
    }
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    return boot.tv_sec + boot.tv_nsec / 1e9 - double(started) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--write-photos") {
        std::vector<std::string> paths;
        for (int i = 0; i < std::atoi(argv[3]); ++i)
            paths.push_back(std::string(argv[2]) + "/IMG_" + std::to_string(1000 + i) + ".JPG");
        return WriteCameraJpegs(paths) ? 0 : 1;
    }
    QApplication app(argc, argv);
    const std::vector<std::string> files(argv + 1, argv + argc);
    QListWidget window;
    window.setWindowTitle("Startup peer");
    window.setViewMode(QListView::IconMode);
    window.setIconSize(QSize(kProgramThumbnailSide, kProgramThumbnailSide));
    window.resize(1000, 700);
    window.show();
    std::vector<QImage> pictures(files.size());
    std::thread adding([&] {
        DecodeAllAtProgramScale(files, kProgramPictureSide, [&](size_t i, QImage& picture, QImage& thumbnail) {
            pictures[i] = std::move(picture);
            QMetaObject::invokeMethod(&window, [&window, thumbnail] {
                window.addItem(new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnail)), QString()));
            });
        });
        QMetaObject::invokeMethod(&window, [] {
            std::printf("all %.3f\n", SinceStart());
            std::fflush(stdout);
        });
    });
    const int code = app.exec();
    adding.join();
    return code;
}
