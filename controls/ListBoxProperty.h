#pragma once
// Properties of the strip's appearance objects.
#include "controls/GDIPFill.h"

// The setter stores a differing value and calls the object's Changed.
#define VELMORA_LISTBOX_PROPERTY(Type, Name, initial) \
public:                                               \
    Type Name() const { return f##Name; }             \
    void Set##Name(Type value)                        \
    {                                                 \
        if (f##Name != value) {                       \
            f##Name = value;                          \
            Changed();                                \
        }                                             \
    }                                                 \
                                                      \
private:                                              \
    Type f##Name = initial;

// An owned fill takes another's values without announcing each one; false
// when there is nothing to take (no fill, or the owned one itself). The
// caller then reacts once.
inline bool AssignFillQuietly(TGDIPFill& owned, const TGDIPFill* value)
{
    if (!value || value == &owned)
        return false;
    owned.BeginUpdate();
    owned.Assign(*value);
    owned.EndUpdate();
    return true;
}
