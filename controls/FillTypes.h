#pragma once
// The enumerations of fills; their order is the ordinal stored in ini files.
// TGradientType lives with the drawing values.
#include "controls/GPValues.h"

enum TFillPicturePosition : int {
    ppTopLeft, ppTopCenter, ppTopRight, ppBottomLeft, ppBottomCenter, ppBottomRight, ppTiled, ppStretched,
    ppCenterLeft, ppCenterCenter, ppCenterRight, ppCustom
};
enum TFillRoundingType : int { rtNone, rtTop, rtBottom, rtBoth, rtLeft, rtRight };
enum TFillPictureSize : int { psOriginal, psCustom };
enum TFillPictureMode : int { pmInsideFill, pmOutsideFill };
enum TFillValueType : int { vtNormal, vtDateTime };
