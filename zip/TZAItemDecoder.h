#pragma once
// The processor-bound half of extracting an item: password check, decrypt,
// inflate, CRC-32. The archiver reads the stored bytes on its own thread,
// decodes on a worker, and writes the result and fires the item's events on
// its own thread again, in item order.
#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/rtl/MemoryStream.h"
#include "zip/TZAByteBuffer.h"
#include "zip/TZAItemCipher.h"
#include "zip/TZAWorkerPool.h"

// A memory stream that offers the memory its bytes end up in: the worker
// decoding an item into it inflates straight there, with no buffer of its
// own and no copy. Written through Write, it takes the bytes as any stream.
class TZADirectTarget {
public:
    virtual ~TZADirectTarget() = default;
    // Where the next bytes go: at most `wanted`; empty refuses more.
    virtual std::span<uint8_t> Room(size_t wanted) = 0;
    // The first `length` bytes of the last Room now hold the next bytes.
    virtual void Commit(size_t length) = 0;
};

struct TDecodedItem {
    explicit TDecodedItem(std::shared_ptr<TZABufferPool> pool = nullptr) : Output(std::move(pool)) {}

    std::string Password;               // the password its header was checked with
    // Where the plain bytes go when the worker writes them itself (a memory
    // stream that is the item's alone); otherwise they are kept in Output.
    TMemoryStream* Target = nullptr;
    // Run on the worker once it has written Target whole and the item holds.
    std::function<void()> ThenOnWorker;
    TZAPooledBuffer Output;             // the plain bytes
    std::vector<uint64_t> ProducedAfter;  // the bytes produced after each piece read
    // Nothing was decoded: the stored bytes could not be read, or the
    // password did not open the header; the extraction does the item itself.
    bool Undecoded = false;
    bool Ok = false;                    // sizes, CRC and the cipher's trailer all hold
    std::exception_ptr Error;           // raised while decoding, after Output
};

// Reads `count` stored bytes from offset `at` of the item's data into `into`;
// false when they cannot be read.
using TZAPieceReader = std::function<bool(uint64_t at, uint8_t* into, size_t count)>;

// Decodes the `size` stored bytes between the cipher's header and trailer,
// decrypted in place, in pieces of at most `piece` bytes: those at `data`,
// or with a reader, each piece read into `data` (room for one piece) in
// turn, so that no more than two pieces of an item are ever held (the next
// is read and decrypted meanwhile). A piece that cannot be read leaves the
// item undecoded, and its target emptied.
void DecodeItemData(uint8_t* data, size_t size, const std::vector<uint8_t>& trailer, TZAItemCipher* cipher,
                    uint16_t method, uint64_t uncompressed, uint32_t crc, size_t piece, TDecodedItem& result,
                    const TZAPieceReader& read = {});

// A buffer of at least size bytes that the calling thread keeps for the next
// item, its content left as the last item had it: a fresh, zero-filled block
// per item costs a page fault per page on every item, and the workers fault
// against each other for the same address space.
// `which` (0 or 1) picks one of two such buffers, for a worker that reads
// one piece while it works on the other.
uint8_t* WorkerBuffer(size_t size, int which = 0);

// Decodes the planned items ahead of the extraction, with a bounded number of
// items and bytes in flight; the extraction takes them back in plan order.
class TZADecodeAhead {
public:
    // Run on the archiver's thread: reads an item and returns the task that
    // decodes it, or nothing when the item is left to the extraction itself.
    // `bytes` is what the item holds in memory.
    using Prepare = std::function<std::function<void()>(int index, const std::shared_ptr<TDecodedItem>& result,
                                                        uint64_t& bytes)>;

    TZADecodeAhead(std::vector<int> plan, int workers, Prepare prepare);
    ~TZADecodeAhead();

    // The item's decoding once done; null when it was not decoded ahead.
    // Items planned before it and not asked for are dropped.
    std::shared_ptr<TDecodedItem> Next(int index);

private:
    void TopUp();

    struct Running {
        int Index;
        std::shared_ptr<TDecodedItem> Result;  // null when not decoded ahead
        std::future<void> Done;
        uint64_t Bytes;
    };
    std::vector<int> plan_;
    std::unordered_set<int> planned_;
    Prepare prepare_;
    size_t submitted_ = 0;
    size_t aheadLimit_;
    uint64_t bytesAhead_ = 0;
    // Output buffers of items written out, for the items after them: large
    // items extracted to files then fill memory already mapped.
    std::shared_ptr<TZABufferPool> buffers_ = std::make_shared<TZABufferPool>();
    std::deque<Running> running_;
    TZAWorkerPool pool_;
};
