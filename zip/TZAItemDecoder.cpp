#include "zip/TZAItemDecoder.h"

#include <algorithm>
#include <cstring>
#include <future>

#include "zip/ZACompression.h"

namespace {

// Bytes that may wait in memory, stored and decoded, for the extraction.
constexpr uint64_t kBytesAheadLimit = uint64_t{256} << 20;

}  // namespace

uint8_t* WorkerBuffer(size_t size, int which)
{
    thread_local std::unique_ptr<uint8_t[]> buffers[2];
    thread_local size_t capacities[2] = {0, 0};
    std::unique_ptr<uint8_t[]>& buffer = buffers[which & 1];
    size_t& capacity = capacities[which & 1];
    if (size > capacity || !buffer) {
        buffer.reset(new uint8_t[std::max<size_t>(size, 1)]);
        capacity = size;
    }
    return buffer.get();
}

void DecodeItemData(uint8_t* data, size_t size, const std::vector<uint8_t>& trailer, TZAItemCipher* cipher,
                    uint16_t method, uint64_t uncompressed, uint32_t crc, size_t piece, TDecodedItem& result,
                    const TZAPieceReader& read)
{
    try {
        std::unique_ptr<TZAInflater> inflater;
        if (method == 8)
            inflater = std::make_unique<TZAInflater>(uncompressed);
        auto* direct = dynamic_cast<TZADirectTarget*>(result.Target);
        if (result.Target && !direct)
            result.Target->Reserve(result.Target->GetPosition() + int64_t(uncompressed));
        else if (!result.Target)
            result.Output->Room(size_t(uncompressed));
        uint32_t running = 0xFFFFFFFF;
        uint64_t produced = 0;
        // Inflated in place: only counted, and offered to the target.
        auto placed = [&](const uint8_t* bytes, size_t length) {
            UpdateCRC(bytes, int64_t(length), running);
            direct->Commit(length);
            produced += length;
            return true;
        };
        auto room = [direct](size_t wanted) { return direct->Room(wanted); };
        auto emit = [&](const uint8_t* bytes, size_t length) {
            UpdateCRC(bytes, int64_t(length), running);
            if (result.Target) {
                result.Target->WriteBuffer(bytes, int64_t(length));
            } else {
                std::memcpy(result.Output->Room(length), bytes, length);
                result.Output->Grow(length);
            }
            produced += length;
            return true;
        };
        // The piece at `at`, read into `into` and decrypted; false when it
        // cannot be read.
        const auto prepare = [&](size_t at, uint8_t* into) {
            const size_t n = std::min(piece, size - at);
            if (read && !read(at, into, n))
                return false;
            if (cipher)
                cipher->Decrypt(into, n);
            return true;
        };
        // The classic cipher runs a byte at a time, each byte waiting on the
        // one before: an item read piece by piece has its next piece read and
        // decrypted on a thread of its own while this one inflates, so that
        // one large item, the last of an open say, takes two cores rather
        // than one. The cipher's state passes from piece to piece in order.
        const bool ahead = read && cipher && size > piece;
        uint8_t* const buffers[2] = {data, ahead ? WorkerBuffer(piece, 1) : data};
        std::future<bool> next;  // destroyed first: it waits for the thread
        if (ahead)
            next = std::async(std::launch::async, prepare, size_t{0}, buffers[0]);
        for (size_t at = 0, k = 0; at < size; ++k) {
            const size_t n = std::min(piece, size - at);
            uint8_t* bytes = read ? buffers[k & 1] : data + at;
            if (!(ahead ? next.get() : prepare(at, bytes))) {
                result.Undecoded = true;
                if (result.Target)
                    result.Target->SetSize(0);
                return;
            }
            if (ahead && at + n < size)
                next = std::async(std::launch::async, prepare, at + n, buffers[(k + 1) & 1]);
            if (direct && inflater) {
                if (!inflater->DecompressInto(bytes, n, room, placed))
                    return;
            } else if (direct) {
                // Stored: copied into the target's memory as it comes, never
                // beyond the size the directory gives.
                if (produced + n > uncompressed)
                    return;
                for (size_t copied = 0; copied < n;) {
                    const std::span<uint8_t> into = room(n - copied);
                    if (into.empty())
                        return;
                    const size_t length = std::min(into.size(), n - copied);
                    std::memcpy(into.data(), bytes + copied, length);
                    placed(into.data(), length);
                    copied += length;
                }
            } else if (inflater) {
                if (!inflater->Decompress(bytes, n, emit))
                    return;
            } else {
                emit(bytes, n);
            }
            at += n;
            result.ProducedAfter.push_back(produced);
        }
        if (cipher && !trailer.empty() && !cipher->CheckTrailer(trailer.data()))
            return;
        if (inflater && uncompressed > 0 && !inflater->Finished())
            return;
        const bool crcMatches = (cipher && !cipher->ChecksCrc()) || ~running == crc;
        result.Ok = produced == uncompressed && crcMatches;
        if (result.Ok && result.Target && result.ThenOnWorker)
            result.ThenOnWorker();
    } catch (...) {
        result.Error = std::current_exception();
    }
}

TZADecodeAhead::TZADecodeAhead(std::vector<int> plan, int workers, Prepare prepare)
    : plan_(std::move(plan)),
      planned_(plan_.begin(), plan_.end()),
      prepare_(std::move(prepare)),
      aheadLimit_(size_t(2 * workers)),
      pool_(workers)
{
    TopUp();
}

TZADecodeAhead::~TZADecodeAhead()
{
    for (Running& r : running_)
        if (r.Done.valid())
            r.Done.wait();
}

void TZADecodeAhead::TopUp()
{
    while (submitted_ < plan_.size() && running_.size() < aheadLimit_ && bytesAhead_ < kBytesAheadLimit) {
        const int index = plan_[submitted_++];
        auto result = std::make_shared<TDecodedItem>(buffers_);
        uint64_t bytes = 0;
        std::function<void()> job = prepare_(index, result, bytes);
        if (!job) {
            running_.push_back({index, nullptr, {}, 0});
            continue;
        }
        auto task = std::make_shared<std::packaged_task<void()>>(std::move(job));
        running_.push_back({index, result, task->get_future(), bytes});
        bytesAhead_ += bytes;
        pool_.Submit([task] { (*task)(); });
    }
}

std::shared_ptr<TDecodedItem> TZADecodeAhead::Next(int index)
{
    if (planned_.count(index) == 0)
        return nullptr;
    for (;;) {
        if (running_.empty()) {
            if (submitted_ >= plan_.size())
                return nullptr;
            TopUp();
            continue;
        }
        Running r = std::move(running_.front());
        running_.pop_front();
        bytesAhead_ -= r.Bytes;
        if (r.Done.valid())
            r.Done.wait();
        if (r.Index == index) {
            TopUp();
            return r.Result;
        }
    }
}
