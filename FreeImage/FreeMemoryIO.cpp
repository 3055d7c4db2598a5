#include "FreeImage/FreeMemoryIO.h"

#include "FreeImage/FreeImageLibrary.h"

TFreeMemoryIO::TFreeMemoryIO(BYTE* data, DWORD sizeInBytes)
{
    EnsureFreeImageInitialised();
    stream_ = FreeImage_OpenMemory(data, sizeInBytes);
}

TFreeMemoryIO::~TFreeMemoryIO()
{
    if (stream_)
        FreeImage_CloseMemory(stream_);
}

FREE_IMAGE_FORMAT TFreeMemoryIO::GetFileType() const
{
    return stream_ ? FreeImage_GetFileTypeFromMemory(stream_, 0) : FIF_UNKNOWN;
}

FIBITMAP* TFreeMemoryIO::Read(FREE_IMAGE_FORMAT format, int flags) const
{
    return stream_ ? FreeImage_LoadFromMemory(format, stream_, flags) : nullptr;
}

bool TFreeMemoryIO::Write(FREE_IMAGE_FORMAT format, FIBITMAP* image, int flags)
{
    return stream_ && image && FreeImage_SaveToMemory(format, image, stream_, flags);
}

bool TFreeMemoryIO::Acquire(BYTE** data, DWORD* sizeInBytes) const
{
    return stream_ && FreeImage_AcquireMemory(stream_, data, sizeInBytes);
}

bool TFreeMemoryIO::Seek(long offset, int origin)
{
    return stream_ && FreeImage_SeekMemory(stream_, offset, origin);
}

long TFreeMemoryIO::Tell() const
{
    return stream_ ? FreeImage_TellMemory(stream_) : -1;
}
