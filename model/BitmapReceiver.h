#pragma once
// An artwork built from its BMP file's bytes as they arrive: the pixel rows
// land where the decoded picture keeps them and every byte is hashed as it
// passes, so no whole copy of the file is held beside the picture, and no
// second pass reads it again.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "model/MD5.h"
#include "model/Picture.h"

class TFreeWinBitmap;

class BitmapReceiver {
public:
    // Null unless the file's first `size` bytes (all that came so far) show
    // a BMP whose rows the image library takes as they stand
    // (TFreeBitmap::PrepareBmpRows); the caller then keeps the bytes and
    // decodes them whole. Otherwise the head's bytes are taken.
    static std::unique_ptr<BitmapReceiver> Start(const uint8_t* head, size_t size, uint64_t fileSize);
    ~BitmapReceiver();

    // Where the file's next bytes go: at most `wanted` bytes, and at least
    // one until all fileSize bytes came.
    std::span<uint8_t> Room(size_t wanted);
    // The first `length` bytes of the last Room hold the file's next bytes.
    void Commit(size_t length);
    // Through Room and Commit; false, with nothing taken, for bytes that run
    // past the file's size.
    bool Write(const uint8_t* data, size_t length);

    // The picture and the MD5 of the whole file; a null image unless every
    // byte came. Once only.
    Picture::Decoded Finish();

private:
    BitmapReceiver() = default;

    std::unique_ptr<TFreeWinBitmap> image_;
    uint8_t* rows_ = nullptr;
    uint64_t rowsOffset_ = 0;
    uint64_t rowsBytes_ = 0;
    uint64_t fileSize_ = 0;
    uint64_t received_ = 0;
    uint8_t* room_ = nullptr;
    // Whatever follows the rows is hashed and dropped, as the decoder ignores it.
    std::vector<uint8_t> tail_;
    MD5::Running md5_;
};
