#include "model/PictureSizes.h"

const PictureSize PictureSizes[kPictureSizeCount] = {
    {"Resize the image to 320 Pixels", 320},
    {"Resize the image to 480 Pixels", 480},
    {"Resize the image to 640 Pixels", 640},
    {"Resize the image to 800 Pixels", 800},
    {"Resize the image to 1024 Pixels", 1024},
    {"Resize the image to 1200 Pixels", 1200},
    {"Resize the image to 1600 Pixels", 1600},
    {"Don't resize. Preserve the original size.", -1},
};
