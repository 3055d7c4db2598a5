#pragma once

// Root of the picture wrapper's objects: something that may or may not hold a
// live handle of the image library.
class TFreeObject {
public:
    TFreeObject() = default;
    TFreeObject(const TFreeObject&) = delete;
    TFreeObject& operator=(const TFreeObject&) = delete;
    virtual ~TFreeObject() = default;

    virtual bool IsValid() const { return false; }
};
