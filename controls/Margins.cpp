#include "controls/Margins.h"

void TMargins::Set(int& field, int value)
{
    if (field == value)
        return;
    field = value;
    if (OnChange)
        OnChange();
}

void TMargins::SetMargins(int left, int top, int right, int bottom)
{
    if (left_ == left && top_ == top && right_ == right && bottom_ == bottom)
        return;
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
    if (OnChange)
        OnChange();
}
