#include "zip/TZAItemEncoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <typeinfo>

#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/PrefixedBlockStream.h"
#include "zip/ZACompression.h"

namespace {

// Items in memory up to this size are deflated whole; larger ones, and items
// read from files, piece by piece through zlib.
constexpr int64_t kLargestWholeItem = int64_t{512} << 20;

}  // namespace

namespace {

// A source whose bytes all lie in memory: a few leading bytes and one block.
struct InMemory {
    const uint8_t* lead = nullptr;
    size_t leadSize = 0;
    const uint8_t* block = nullptr;
    size_t blockSize = 0;
};

// Only plain memory streams: a derived one may read otherwise.
bool FindInMemory(TStream& source, int64_t start, int64_t size, InMemory& found)
{
    if (start < 0 || size < 0 || size > kLargestWholeItem)
        return false;
    if (typeid(source) == typeid(TMemoryStream)) {
        auto& memory = static_cast<TMemoryStream&>(source);
        if (start + size > memory.GetSize())
            return false;
        found = {nullptr, 0, memory.Memory() + start, size_t(size)};
        return true;
    }
    if (typeid(source) == typeid(TPrefixedBlockStream)) {
        auto& parts = static_cast<TPrefixedBlockStream&>(source);
        if (start != 0 || size != parts.GetSize())
            return false;
        found = {parts.Prefix().data(), parts.Prefix().size(), parts.Block(), parts.BlockSize()};
        return true;
    }
    return false;
}

// Stored (uncompressed) deflate blocks, none of them final, each with its
// 5-byte head: the leading bytes go in front of the block's own stream,
// which needs no dictionary from them.
constexpr size_t kStoredBlockLimit = 0xFFFF;

size_t StoredBlocksSize(size_t size)
{
    return size + 5 * ((size + kStoredBlockLimit - 1) / kStoredBlockLimit);
}

uint8_t* PutStoredBlocks(const uint8_t* data, size_t size, uint8_t* out)
{
    for (size_t at = 0; at < size;) {
        const size_t n = std::min(size - at, kStoredBlockLimit);
        out[0] = 0;  // not final, stored, padded to the byte
        out[1] = uint8_t(n);
        out[2] = uint8_t(n >> 8);
        out[3] = uint8_t(~n);
        out[4] = uint8_t(~n >> 8);
        std::memcpy(out + 5, data + at, n);
        out += 5 + n;
        at += n;
    }
    return out;
}

// Four samples of this size, spread over the item from its start to its end.
constexpr size_t kSampleSize = size_t{64} << 10;
constexpr int kSamples = 4;

}  // namespace

uint16_t ChooseItemMethod(TStream& source, int64_t start, int64_t size, uint16_t method, int level)
{
    InMemory memory;
    if (method != 8 || size < kSampledItemSize || !FindInMemory(source, start, size, memory) ||
        memory.blockSize < kSampledItemSize)
        return method;
    const size_t bound = DeflateWholeBound(kSampleSize, level);
    if (bound == 0)
        return method;
    std::vector<uint8_t> packed(bound);
    size_t sampled = 0, kept = 0;
    for (int i = 0; i < kSamples; ++i) {
        const size_t at = (memory.blockSize - kSampleSize) / (kSamples - 1) * size_t(i);
        const size_t n = DeflateWholeInto(memory.block + at, kSampleSize, level, packed.data(), bound);
        sampled += kSampleSize;
        kept += n == 0 ? kSampleSize : n;
    }
    // Saves less than an eighth (or nothing: packed data comes out larger).
    return kept * 8 > sampled * 7 ? uint16_t(0) : method;
}

bool EncodeItemData(TStream& source, int64_t start, int64_t size, uint16_t method, int level,
                    TZAItemCipher* cipher, TZAItemDataSink& sink, uint32_t& crc, int64_t& readTotal,
                    const std::atomic<bool>* stop)
{
    auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
    crc = 0xFFFFFFFF;
    readTotal = 0;
    InMemory memory;
    const bool inMemory = FindInMemory(source, start, size, memory);
    const size_t bound = inMemory && method == 8 && size > 0 ? DeflateWholeBound(memory.blockSize, level) : 0;
    const bool storedInMemory = inMemory && method == 0 && size > 0;
    // The classic header carries the CRC, so it is known before any data; a
    // source deflated whole or stored from memory is hashed where it lies, once.
    if (bound > 0 || storedInMemory || (inMemory && cipher)) {
        UpdateCRC(memory.lead, int64_t(memory.leadSize), crc);
        UpdateCRC(memory.block, int64_t(memory.blockSize), crc);
    } else if (cipher) {
        std::vector<uint8_t> buffer(size_t(std::min<int64_t>(std::max<int64_t>(size, 1), kReadPiece)));
        source.SetPosition(start);
        int64_t left = size;
        while (left > 0) {
            const int64_t n = source.Read(buffer.data(), std::min<int64_t>(left, int64_t(buffer.size())));
            if (n <= 0)
                break;
            UpdateCRC(buffer.data(), n, crc);
            left -= n;
        }
    }
    if (cipher && !sink.Header(cipher->MakeHeader(~crc)))
        return false;
    if (bound == 0 && !storedInMemory)
        crc = 0xFFFFFFFF;
    if (size <= 0)
        return true;
    // Stored from memory: each piece is copied once, into the sink's memory,
    // and encrypted there.
    if (storedInMemory) {
        const std::pair<const uint8_t*, size_t> parts[2] = {{memory.lead, memory.leadSize},
                                                            {memory.block, memory.blockSize}};
        int part = 0;
        size_t within = 0;
        while (readTotal < size) {
            if (stopped())
                return false;
            const size_t length = size_t(std::min<int64_t>(size - readTotal, kReadPiece));
            uint8_t* const piece = sink.Room(length);
            for (size_t filled = 0; filled < length;) {
                while (within == parts[part].second) {
                    ++part;
                    within = 0;
                }
                const size_t n = std::min(length - filled, parts[part].second - within);
                std::memcpy(piece + filled, parts[part].first + within, n);
                filled += n;
                within += n;
            }
            if (cipher)
                cipher->Encrypt(piece, length);
            readTotal += int64_t(length);
            if (!sink.Piece(piece, length, int64_t(length), readTotal))
                return false;
        }
        source.SetPosition(start + size);
        return true;
    }
    // A whole item in memory is deflated at once, straight into the sink's
    // memory, then handed on in pieces so that progress and the stop request
    // work as they do piece by piece.
    if (bound > 0) {
        const size_t leadRoom = StoredBlocksSize(memory.leadSize);
        uint8_t* const out = sink.Room(leadRoom + bound);
        const size_t packed = DeflateWholeInto(memory.block, memory.blockSize, level,
                                               PutStoredBlocks(memory.lead, memory.leadSize, out), bound);
        if (packed == 0)
            throw ECompressionError("The data cannot be compressed");
        const size_t whole = leadRoom + packed;
        for (size_t at = 0; at < whole;) {
            if (stopped())
                return false;
            const size_t length = std::min(whole - at, size_t(kReadPiece));
            uint8_t* piece = out + at;
            at += length;
            const int64_t readUpTo =
                at == whole ? size : int64_t(double(at) / double(whole) * double(size));
            if (cipher)
                cipher->Encrypt(piece, length);
            if (!sink.Piece(piece, length, readUpTo - readTotal, readUpTo))
                return false;
            readTotal = readUpTo;
        }
        source.SetPosition(start + size);
        return true;
    }
    std::vector<uint8_t> buffer(size_t(std::min<int64_t>(std::max<int64_t>(size, 1), kReadPiece)));
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

// Source bytes that may be encoded ahead of the store, and so wait in
// memory as deflated data of about their size. Enough for a dozen photos of
// 12 megapixels, so that every worker of a large machine has one while the
// store writes out the next.
constexpr uint64_t kBytesAheadLimit = uint64_t{512} << 20;

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
        auto result = std::make_shared<TEncodedItem>(buffers_);
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
