#include "zip/TZAItemEncoder.h"

#include <algorithm>
#include <typeinfo>

#include "platform/rtl/MemoryStream.h"
#include "zip/ZACompression.h"

namespace {

// Items in memory up to this size are deflated whole; larger ones, and items
// read from files, piece by piece through zlib.
constexpr int64_t kLargestWholeItem = int64_t{512} << 20;

}  // namespace

bool EncodeItemData(TStream& source, int64_t start, int64_t size, uint16_t method, int level,
                    TZAItemCipher* cipher, TZAItemDataSink& sink, uint32_t& crc, int64_t& readTotal,
                    const std::atomic<bool>* stop)
{
    auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
    crc = 0xFFFFFFFF;
    readTotal = 0;
    std::vector<uint8_t> buffer(size_t(std::min<int64_t>(std::max<int64_t>(size, 1), kReadPiece)));
    if (cipher) {
        // The classic header carries the CRC, so it is known before any data.
        source.SetPosition(start);
        int64_t left = size;
        while (left > 0) {
            const int64_t n = source.Read(buffer.data(), std::min<int64_t>(left, int64_t(buffer.size())));
            if (n <= 0)
                break;
            UpdateCRC(buffer.data(), n, crc);
            left -= n;
        }
        if (!sink.Header(cipher->MakeHeader(~crc)))
            return false;
        crc = 0xFFFFFFFF;
    }
    if (size <= 0)
        return true;
    // A whole item in memory is deflated at once, then handed on in pieces
    // so that progress and the stop request work as they do piece by piece.
    // Only a plain memory stream: a derived one may read otherwise.
    auto* memory = typeid(source) == typeid(TMemoryStream) ? static_cast<TMemoryStream*>(&source) : nullptr;
    std::vector<uint8_t> whole;
    if (method == 8 && memory && size <= kLargestWholeItem && start >= 0 && start + size <= memory->GetSize() &&
        DeflateWhole(memory->Memory() + start, size_t(size), level, whole)) {
        UpdateCRC(memory->Memory() + start, size, crc);
        for (size_t at = 0; at < whole.size();) {
            if (stopped())
                return false;
            const size_t length = std::min(whole.size() - at, size_t(kReadPiece));
            uint8_t* piece = whole.data() + at;
            at += length;
            const int64_t readUpTo =
                at == whole.size() ? size : int64_t(double(at) / double(whole.size()) * double(size));
            if (cipher)
                cipher->Encrypt(piece, length);
            if (!sink.Piece(piece, length, readUpTo - readTotal, readUpTo))
                return false;
            readTotal = readUpTo;
        }
        source.SetPosition(start + size);
        return true;
    }
    source.SetPosition(start);
    std::unique_ptr<TZADeflater> deflater;
    if (method == 8)
        deflater = std::make_unique<TZADeflater>(level);
    std::vector<uint8_t> packed;
    while (readTotal < size) {
        if (stopped())
            return false;
        const int64_t n = source.Read(buffer.data(), std::min<int64_t>(size - readTotal, int64_t(buffer.size())));
        if (n <= 0)
            break;
        readTotal += n;
        UpdateCRC(buffer.data(), n, crc);
        const bool last = readTotal == size;
        uint8_t* data = buffer.data();
        size_t length = size_t(n);
        if (deflater) {
            packed.clear();
            deflater->Compress(buffer.data(), size_t(n), last, packed);
            data = packed.data();
            length = packed.size();
        }
        if (cipher && length > 0)
            cipher->Encrypt(data, length);
        if (!sink.Piece(data, length, n, readTotal))
            return false;
    }
    if (deflater && readTotal < size) {
        packed.clear();
        deflater->Compress(nullptr, 0, true, packed);
    }
    return true;
}

namespace {

// Source bytes that may wait encoded in memory for the store.
constexpr uint64_t kBytesAheadLimit = uint64_t{256} << 20;

}  // namespace

TZAEncodeAhead::TZAEncodeAhead(std::vector<Planned> plan, int workers, Factory factory)
    : plan_(std::move(plan)), factory_(std::move(factory)), aheadLimit_(size_t(2 * workers)), pool_(workers)
{
    TopUp();
}

TZAEncodeAhead::~TZAEncodeAhead()
{
    stop_->store(true);
    for (Running& r : running_)
        r.Done.wait();
}

void TZAEncodeAhead::TopUp()
{
    while (submitted_ < plan_.size() && running_.size() < aheadLimit_ &&
           (running_.empty() || bytesAhead_ + plan_[submitted_].Bytes <= kBytesAheadLimit)) {
        const Planned& p = plan_[submitted_++];
        auto result = std::make_shared<TEncodedItem>();
        auto task = std::make_shared<std::packaged_task<void()>>(factory_(p.Index, result, stop_));
        Running r{result, task->get_future(), p.Bytes};
        pool_.Submit([task] { (*task)(); });
        bytesAhead_ += p.Bytes;
        running_.push_back(std::move(r));
    }
}

std::shared_ptr<TEncodedItem> TZAEncodeAhead::Next(const std::u16string& name)
{
    const size_t taken = submitted_ - running_.size();
    if (taken >= plan_.size() || plan_[taken].Name != name)
        return nullptr;
    Running r = std::move(running_.front());
    running_.pop_front();
    bytesAhead_ -= r.Bytes;
    r.Done.wait();
    TopUp();
    return r.Result;
}
