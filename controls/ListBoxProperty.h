#pragma once
// A property of the strip's appearance objects: the setter stores a
// differing value and calls the object's Changed.
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
