#pragma once
#include <FreeImage.h>

#include "FreeImage/FreeObject.h"

// An in-memory stream of the image library. Null data and size 0 give a
// growable stream to encode into; otherwise it reads the caller's bytes, which
// must outlive the object.
class TFreeMemoryIO : public TFreeObject {
public:
    TFreeMemoryIO(BYTE* data = nullptr, DWORD sizeInBytes = 0);
    ~TFreeMemoryIO() override;

    bool IsValid() const override { return stream_ != nullptr; }

    FREE_IMAGE_FORMAT GetFileType() const;
    FIBITMAP* Read(FREE_IMAGE_FORMAT format, int flags = 0) const;
    bool Write(FREE_IMAGE_FORMAT format, FIBITMAP* image, int flags = 0);
    // The encoded bytes, owned by this object.
    bool Acquire(BYTE** data, DWORD* sizeInBytes) const;
    bool Seek(long offset, int origin);
    long Tell() const;

private:
    FIMEMORY* stream_ = nullptr;
};
