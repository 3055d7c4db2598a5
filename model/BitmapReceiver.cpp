#include "model/BitmapReceiver.h"

#include <algorithm>
#include <cstring>

#include "FreeImage/FreeWinBitmap.h"

namespace {

constexpr size_t kTailPiece = size_t{64} << 10;

}  // namespace

std::unique_ptr<BitmapReceiver> BitmapReceiver::Start(const uint8_t* head, size_t size, uint64_t fileSize)
{
    if (!head || size > fileSize)
        return nullptr;
    std::unique_ptr<BitmapReceiver> receiver(new BitmapReceiver);
    receiver->image_ = std::make_unique<TFreeWinBitmap>();
    size_t rowsOffset = 0;
    if (!receiver->image_->PrepareBmpRows(head, size, fileSize, rowsOffset))
        return nullptr;
    receiver->rows_ = receiver->image_->AccessPixels();
    receiver->rowsOffset_ = rowsOffset;
    receiver->rowsBytes_ = uint64_t(receiver->image_->GetScanWidth()) * uint64_t(receiver->image_->GetHeight());
    receiver->fileSize_ = fileSize;
    receiver->md5_.Update(head, size);
    const size_t inRows = size_t(std::min<uint64_t>(size - rowsOffset, receiver->rowsBytes_));
    std::memcpy(receiver->rows_, head + rowsOffset, inRows);
    receiver->received_ = size;
    return receiver;
}

BitmapReceiver::~BitmapReceiver() = default;

std::span<uint8_t> BitmapReceiver::Room(size_t wanted)
{
    const uint64_t left = fileSize_ - received_;
    const uint64_t at = received_ - rowsOffset_;
    if (at < rowsBytes_) {
        room_ = rows_ + at;
        return {room_, size_t(std::min<uint64_t>({wanted, left, rowsBytes_ - at}))};
    }
    if (tail_.empty())
        tail_.resize(kTailPiece);
    room_ = tail_.data();
    return {room_, size_t(std::min<uint64_t>({wanted, left, tail_.size()}))};
}

void BitmapReceiver::Commit(size_t length)
{
    md5_.Update(room_, length);
    received_ += length;
}

bool BitmapReceiver::Write(const uint8_t* data, size_t length)
{
    if (length > fileSize_ - received_)
        return false;
    while (length > 0) {
        const std::span<uint8_t> room = Room(length);
        std::memcpy(room.data(), data, room.size());
        Commit(room.size());
        data += room.size();
        length -= room.size();
    }
    return true;
}

Picture::Decoded BitmapReceiver::Finish()
{
    Picture::Decoded result;
    if (!image_ || received_ != fileSize_)
        return result;
    const MD5 md5;
    const HashDigest digest = md5_.Finish();
    result.hash = md5.ToHex(digest.get());
    result.image = std::move(image_);
    return result;
}
