#include "tests/support/CameraPhotos.h"

#include <QColor>
#include <cstdlib>

#include "tests/support/TempDir.h"

bool WriteCameraPhotos(const std::string& folder)
{
    return RunCommand(std::string("/usr/bin/python3 '") + VELMORA_SOURCE_DIR_PATH +
                      "/tests/support/make_camera_photos.py' '" + folder + "'") == 0;
}

std::string UprightProblem(const QImage& image)
{
    if (image.isNull())
        return "no image";
    // Sideways shows in the proportions; upside down and mirrored in the
    // colour at the middle of each quarter.
    if (image.width() <= image.height())
        return "not landscape: " + std::to_string(image.width()) + " x " + std::to_string(image.height());
    struct Quarter {
        double x, y;
        QColor colour;
        const char* name;
    };
    const Quarter quarters[] = {{0.25, 0.25, QColor(220, 30, 30), "top left red"},
                                {0.75, 0.25, QColor(30, 200, 30), "top right green"},
                                {0.25, 0.75, QColor(30, 30, 220), "bottom left blue"},
                                {0.75, 0.75, QColor(230, 220, 30), "bottom right yellow"}};
    for (const Quarter& q : quarters) {
        const QColor c = image.pixelColor(int(q.x * image.width()), int(q.y * image.height()));
        if (std::abs(c.red() - q.colour.red()) > 60 || std::abs(c.green() - q.colour.green()) > 60 ||
            std::abs(c.blue() - q.colour.blue()) > 60)
            return std::string("not ") + q.name + " but " + c.name().toStdString();
    }
    return {};
}
