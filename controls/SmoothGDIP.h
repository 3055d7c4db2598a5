#pragma once
// The drawing wrappers: one class per kind of object of the drawing layer,
// the value helpers and the text helpers. Every drawing of the program's
// controls goes through them.
#include "controls/Colors.h"
#include "controls/Font.h"
#include "controls/GPBase.h"
#include "controls/GPBrushes.h"
#include "controls/GPFonts.h"
#include "controls/GPGraphics.h"
#include "controls/GPImage.h"
#include "controls/GPImageAttributes.h"
#include "controls/GPMatrix.h"
#include "controls/GPPath.h"
#include "controls/GPValues.h"
