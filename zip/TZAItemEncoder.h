#pragma once
// The data half of storing an item: read its source, take the CRC-32,
// deflate and encrypt. The archiver runs it straight into the archive, or on
// a worker thread into memory that its own thread writes out later in item
// order; both give the same bytes.
#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rtl/Stream.h"
#include "zip/TZAByteBuffer.h"
#include "zip/TZAItemCipher.h"
#include "zip/TZAWorkerPool.h"

// Items are read in pieces of this size.
constexpr int64_t kReadPiece = 1 << 20;
// Items smaller than this are encoded and decoded on the archiver's own
// thread: handing one to a worker and waiting for it back costs more than
// the work, above all on a busy machine where a woken thread waits its turn.
// AES items are the exception: deriving their key takes far longer.
constexpr uint64_t kSmallestItemAhead = uint64_t{64} << 10;

// Where the encoded data goes. Either call returns false to stop the item
// (a cancel or a write that failed for good).
class TZAItemDataSink {
public:
    virtual ~TZAItemDataSink() = default;
    // The cipher's header, in front of the data.
    virtual bool Header(const std::vector<uint8_t>& head) = 0;
    // Memory for up to `size` bytes of output that the following Piece
    // calls then hand over in order, spared a copy; valid until the next call.
    virtual uint8_t* Room(size_t size) = 0;
    // The output for one piece of source: bytesRead source bytes were read,
    // readTotal so far.
    virtual bool Piece(const uint8_t* data, size_t length, int64_t bytesRead, int64_t readTotal) = 0;
};

// Encodes `size` bytes of source from `start`. The classic cipher's header
// carries the CRC-32, so with a cipher a source read piece by piece is read
// twice; a plain memory stream or a TPrefixedBlockStream is hashed and
// deflated where its bytes lie, each byte hashed once. Returns
// false when the sink or `stop` ended it early; crc (final, not inverted)
// and readTotal tell how far it came.
bool EncodeItemData(TStream& source, int64_t start, int64_t size, uint16_t method, int level,
                    TZAItemCipher* cipher, TZAItemDataSink& sink, uint32_t& crc, int64_t& readTotal,
                    const std::atomic<bool>* stop = nullptr);

// Items in memory from this size up are sampled before they are deflated.
constexpr int64_t kSampledItemSize = int64_t{1} << 20;

// The method an item is stored with: `method` (8, deflate) unless the item
// lies in memory, is at least kSampledItemSize long and a few samples spread
// over it deflate by less than an eighth. Photographs and other packed data
// then go in stored: deflating them costs far more time than the few bytes
// it saves, on saving and on every open after.
uint16_t ChooseItemMethod(TStream& source, int64_t start, int64_t size, uint16_t method, int level);

// An item encoded ahead on a worker: everything its store on the archiver's
// thread writes and reports, in the order it would.
struct TEncodedItem {
    explicit TEncodedItem(std::shared_ptr<TZABufferPool> pool = nullptr) : Data(std::move(pool)) {}

    struct Piece {
        size_t Offset = 0;  // in Data
        size_t Length = 0;
        int64_t BytesRead = 0;
        int64_t ReadTotal = 0;
    };
    bool SourceUnreadable = false;  // the source file could not be opened
    int64_t Size = 0;               // source bytes from its start position
    uint16_t Method = 0;            // what the data was encoded with (0 or 8)
    std::vector<uint8_t> Head;
    // The encoded pieces one after another.
    TZAPooledBuffer Data;
    std::vector<Piece> Pieces;
    std::vector<uint8_t> Trailer;
    uint32_t Crc = 0;
    int64_t ReadTotal = 0;
    bool Stopped = false;
    // Raised while encoding; the store rethrows it after the pieces before it.
    std::exception_ptr Error;
};

// Encodes the items of a commit ahead of the store, on a pool of workers,
// with a bounded number of items and source bytes in flight. The store takes
// them back one by one in the order they were planned.
class TZAEncodeAhead {
public:
    struct Planned {
        int Index;
        std::u16string Name;
        uint64_t Bytes;  // source size, for the memory bound
    };
    // Makes, on the archiver's thread, the task that encodes one item.
    using Factory = std::function<std::function<void()>(int index, const std::shared_ptr<TEncodedItem>& result,
                                                        const std::shared_ptr<std::atomic<bool>>& stop)>;

    TZAEncodeAhead(std::vector<Planned> plan, int workers, Factory factory);
    // Stops what is still running and waits for it: no worker touches an
    // item's source once the commit is over.
    ~TZAEncodeAhead();

    // The next planned item's encoding once it is done; null when the item
    // named is not the next one planned (the store then encodes it itself).
    std::shared_ptr<TEncodedItem> Next(const std::u16string& name);

private:
    void TopUp();

    struct Running {
        std::shared_ptr<TEncodedItem> Result;
        std::future<void> Done;
        uint64_t Bytes;
    };
    std::vector<Planned> plan_;
    Factory factory_;
    size_t submitted_ = 0;
    size_t aheadLimit_;
    uint64_t bytesAhead_ = 0;
    std::deque<Running> running_;
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<TZABufferPool> buffers_ = std::make_shared<TZABufferPool>();
    TZAWorkerPool pool_;
};
