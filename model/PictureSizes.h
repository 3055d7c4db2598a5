#pragma once
// The sizes an imported artwork may be shrunk to, indexed by the picture-size
// setting. The options dialog shows the caption under its slider; loading a
// picture uses the maximum side (-1: keep the picture as it is).

struct PictureSize {
    const char* caption;
    int maxSide;
};

inline constexpr int kPictureSizeCount = 8;

extern const PictureSize PictureSizes[kPictureSizeCount];
