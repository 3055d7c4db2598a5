#pragma once
// Camera-like JPEGs with each EXIF orientation (tests/support/make_camera_photos.py)
// and a check that a picture made from one shows upright.
#include <QImage>
#include <QSize>
#include <string>

// The size of every photo once upright.
inline constexpr QSize kUprightPhotoSize{160, 80};

// Writes o1.jpg ... o8.jpg and o6.tif into the folder; false when the
// writer failed.
bool WriteCameraPhotos(const std::string& folder);

// "" when the image shows the photo upright (any scale); otherwise what is
// wrong, for the test's message.
std::string UprightProblem(const QImage& image);
