#include "zip/ZACompression.h"

#include <algorithm>
#include <cstdlib>
#include <libdeflate.h>
#include <new>
#include <zlib.h>

#include "zip/EZAException.h"
#include "zip/RandomBytes.h"

namespace {

struct CrcTable {
    uint32_t t[256];
    CrcTable() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
    }
};

const CrcTable& Table() {
    static const CrcTable table;
    return table;
}

inline uint32_t Crc32Byte(uint32_t k, uint8_t c) {
    return Table().t[(k ^ c) & 0xFF] ^ (k >> 8);
}

// zlib's own allocator is malloc: it never reads memory it has not written,
// and zeroing its quarter megabyte of state cost more than deflating an
// item of a few kilobytes.
voidpf ZAlloc(voidpf, uInt items, uInt size) { return std::malloc(size_t(items) * size); }
void ZFree(voidpf, voidpf block) { std::free(block); }

const size_t kOutChunk = 256 * 1024;

} // namespace

uint8_t ModeFromLevel(TZACompressionLevel level) {
    switch (level) {
    case clNone:
        return 0;
    case clFastest:
        return 1;
    case clNormal:
        return 6;
    case clMax:
        return 9;
    }
    return 0;
}

TZACompressionLevel LevelFromMode(uint8_t mode) {
    if (mode == 0 || mode > 9)
        return clNone;
    if (mode <= 3)
        return clFastest;
    if (mode <= 6)
        return clNormal;
    return clMax;
}

uint32_t BlockSizeForMode(uint8_t mode) {
    if (mode >= 1 && mode <= 3)
        return 524288;
    if (mode >= 7 && mode <= 9)
        return 1572864;
    return 1048576;
}

std::array<uint8_t, 2> ZlibHeaderForMode(uint8_t mode) {
    switch (mode) {
    case 0:
    case 7:
    case 8:
    case 9:
        return {0x78, 0xDA};
    case 1:
    case 2:
        return {0x78, 0x01};
    case 3:
    case 4:
        return {0x78, 0x5E};
    case 5:
    case 6:
        return {0x78, 0x9C};
    default:
        return {0x00, 0x00};
    }
}

int CheckCompression(int result) {
    if (result < 0)
        throw ECompressionError("error");
    return result;
}

int CheckDecompression(int result) {
    if (result < 0)
        throw EDecompressionError("error");
    return result;
}

const uint32_t* CRC32Table() { return Table().t; }

uint32_t CRC32(uint32_t crc, const void* buffer, int64_t length) {
    if (!buffer || length < 1)
        return crc;
    // libdeflate's CRC (carry-less multiplication where the processor has
    // it) gives the same values several times faster than zlib's sliced one;
    // both keep the register inverted, we do not.
    return ~libdeflate_crc32(~crc, buffer, static_cast<size_t>(length));
}

void UpdateCRC(const void* buffer, int64_t length, uint32_t& crc) {
    crc = CRC32(crc, buffer, length);
}

TZADeflater::TZADeflater(int level) : stream_(new z_stream{}) {
    stream_->zalloc = ZAlloc;
    stream_->zfree = ZFree;
    int r = deflateInit2(stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    if (r != Z_OK) {
        delete stream_;
        CheckCompression(r < 0 ? r : Z_STREAM_ERROR);
    }
}

TZADeflater::~TZADeflater() {
    deflateEnd(stream_);
    delete stream_;
}

void TZADeflater::Compress(const void* data, size_t size, bool last, std::vector<uint8_t>& out) {
    stream_->next_in = static_cast<Bytef*>(const_cast<void*>(data));
    stream_->avail_in = static_cast<uInt>(size);
    int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        size_t room = std::max<size_t>(size + size / 10 + 267, 4096);
        room = std::min(room, kOutChunk * 4);
        size_t at = out.size();
        out.resize(at + room);
        stream_->next_out = out.data() + at;
        stream_->avail_out = static_cast<uInt>(room);
        int r = deflate(stream_, flush);
        out.resize(at + (room - stream_->avail_out));
        if (r == Z_BUF_ERROR && stream_->avail_out != 0)
            break; // nothing left to do for this block
        CheckCompression(r);
        if (last ? r == Z_STREAM_END : (stream_->avail_in == 0 && stream_->avail_out != 0))
            break;
    }
}

TZAInflater::TZAInflater(uint64_t expectedSize) : stream_(new z_stream{}), expected_(expectedSize) {
    stream_->zalloc = ZAlloc;
    stream_->zfree = ZFree;
    int r = inflateInit2(stream_, -MAX_WBITS);
    if (r != Z_OK) {
        delete stream_;
        CheckDecompression(r < 0 ? r : Z_STREAM_ERROR);
    }
}

TZAInflater::~TZAInflater() {
    inflateEnd(stream_);
    delete stream_;
}

void TZAInflater::Decompress(const void* data, size_t size, std::vector<uint8_t>& out) {
    Decompress(data, size, [&out](const uint8_t* chunk, size_t length) {
        out.insert(out.end(), chunk, chunk + length);
        return true;
    });
}

bool TZAInflater::Decompress(const void* data, size_t size, const TSink& sink) {
    // No larger than the item: zeroing a full chunk for every small item
    // cost more than inflating it.
    return DecompressInto(
        data, size,
        [this](size_t wanted) {
            if (window_.empty())
                window_.resize(size_t(std::min<uint64_t>(expected_, kOutChunk)));
            return std::span<uint8_t>(window_.data(), std::min(wanted, window_.size()));
        },
        sink);
}

bool TZAInflater::DecompressInto(const void* data, size_t size, const TRoom& room, const TSink& sink) {
    if (finished_)
        return true;
    stream_->next_in = static_cast<Bytef*>(const_cast<void*>(data));
    stream_->avail_in = static_cast<uInt>(size);
    for (;;) {
        uint64_t left = expected_ - produced_;
        if (left == 0) {
            // The recorded size is reached: anything more that the data
            // inflates to means the item lies about its size.
            uint8_t probe;
            stream_->next_out = &probe;
            stream_->avail_out = 1;
            int r = inflate(stream_, Z_NO_FLUSH);
            if (r == Z_STREAM_END && stream_->avail_out == 1) {
                finished_ = true;
                return true;
            }
            if (stream_->avail_out == 0)
                throw EZAException(57);
            if (r == Z_BUF_ERROR)
                return true; // needs more input to tell
            CheckDecompression(r);
            if (stream_->avail_in == 0)
                return true;
            continue;
        }
        // Output goes out a bounded chunk at a time, so a small piece that
        // inflates to a great deal never sits in memory whole.
        const std::span<uint8_t> out = room(size_t(std::min<uint64_t>(left, kOutChunk)));
        if (out.empty())
            return false;
        const size_t length = std::min<size_t>(out.size(), size_t(std::min<uint64_t>(left, kOutChunk)));
        stream_->next_out = out.data();
        stream_->avail_out = static_cast<uInt>(length);
        int r = inflate(stream_, Z_NO_FLUSH);
        size_t got = length - stream_->avail_out;
        produced_ += got;
        if (got > 0 && !sink(out.data(), got))
            return false;
        if (r == Z_STREAM_END) {
            finished_ = true;
            return true;
        }
        if (r == Z_BUF_ERROR && got == 0)
            return true; // all input used
        if (r == Z_NEED_DICT)
            r = Z_DATA_ERROR;
        CheckDecompression(r);
        if (stream_->avail_in == 0 && stream_->avail_out != 0)
            return true;
    }
}

namespace {

// A compressor per level and thread: making one costs more than compressing
// a small item. Null for a level outside 0..9.
libdeflate_compressor* WholeCompressor(int level) {
    if (level < 0 || level > 9)
        return nullptr;
    struct Compressors {
        libdeflate_compressor* byLevel[10] = {};
        ~Compressors() {
            for (libdeflate_compressor* c : byLevel)
                if (c)
                    libdeflate_free_compressor(c);
        }
    };
    thread_local Compressors compressors;
    libdeflate_compressor*& compressor = compressors.byLevel[level];
    if (!compressor)
        compressor = libdeflate_alloc_compressor(level);
    if (!compressor)
        throw std::bad_alloc();
    return compressor;
}

} // namespace

size_t DeflateWholeBound(size_t size, int level) {
    libdeflate_compressor* compressor = WholeCompressor(level);
    return compressor ? libdeflate_deflate_compress_bound(compressor, size) : 0;
}

size_t DeflateWholeInto(const void* data, size_t size, int level, uint8_t* out, size_t room) {
    libdeflate_compressor* compressor = WholeCompressor(level);
    if (!compressor || room < libdeflate_deflate_compress_bound(compressor, size))
        return 0;
    return libdeflate_deflate_compress(compressor, data, size, out, room);
}

bool DeflateWhole(const void* data, size_t size, int level, std::vector<uint8_t>& out) {
    const size_t bound = DeflateWholeBound(size, level);
    if (bound == 0)
        return false;
    const size_t start = out.size();
    out.resize(start + bound);
    const size_t written = DeflateWholeInto(data, size, level, out.data() + start, bound);
    out.resize(start + written);
    return written > 0;
}

std::vector<uint8_t> DeflateRaw(const void* data, size_t size, int level) {
    TZADeflater deflater(level);
    std::vector<uint8_t> out;
    size_t block = BlockSizeForMode(static_cast<uint8_t>(level));
    const auto* p = static_cast<const uint8_t*>(data);
    size_t at = 0;
    do {
        size_t n = std::min(block, size - at);
        deflater.Compress(p + at, n, at + n == size, out);
        at += n;
    } while (at < size);
    return out;
}

std::vector<uint8_t> InflateRaw(const void* data, size_t size, uint64_t expectedSize) {
    TZAInflater inflater(expectedSize);
    std::vector<uint8_t> out;
    inflater.Decompress(data, size, out);
    if (!inflater.Finished() || inflater.Produced() != expectedSize)
        throw EDecompressionError("error");
    return out;
}

void TZACryptKeys::InitKeys(const std::string& password) {
    Key0 = 0x12345678;
    Key1 = 0x23456789;
    Key2 = 0x34567890;
    for (char c : password)
        UpdateKeys(static_cast<uint8_t>(c));
}

void TZACryptKeys::UpdateKeys(uint8_t c) {
    Key0 = Crc32Byte(Key0, c);
    Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
    Key2 = Crc32Byte(Key2, static_cast<uint8_t>(Key1 >> 24));
}

uint8_t TZACryptKeys::KeyStreamByte() const {
    uint32_t t = (Key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>(((t * (t ^ 1)) >> 8) & 0xFF);
}

uint8_t TZACryptKeys::EncryptByte(uint8_t plain) {
    uint8_t t = KeyStreamByte();
    UpdateKeys(plain);
    return plain ^ t;
}

namespace {

// The cipher's inner loop with the keys in registers and the table looked up
// once: every byte depends on the one before, so this is all the speed the
// form allows.
template <bool Decrypt>
void RunKeys(uint32_t& key0, uint32_t& key1, uint32_t& key2, uint8_t* buffer, size_t count) {
    const uint32_t* table = Table().t;
    uint32_t k0 = key0, k1 = key1, k2 = key2;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t t = (k2 | 2) & 0xFFFF;
        const uint8_t stream = static_cast<uint8_t>((t * (t ^ 1)) >> 8);
        const uint8_t in = buffer[i];
        const uint8_t plain = Decrypt ? static_cast<uint8_t>(in ^ stream) : in;
        buffer[i] = static_cast<uint8_t>(in ^ stream);
        k0 = table[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
        k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
        k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
    }
    key0 = k0;
    key1 = k1;
    key2 = k2;
}

} // namespace

void TZACryptKeys::EncryptRange(uint8_t* buffer, size_t start, size_t count) {
    RunKeys<false>(Key0, Key1, Key2, buffer + start, count);
}

void TZACryptKeys::DecryptBuffer(uint8_t* buffer, size_t count) {
    RunKeys<true>(Key0, Key1, Key2, buffer, count);
}

void TZACryptKeys::InitKeysAndDecryptHeader(const std::string& password, uint8_t* header) {
    InitKeys(password);
    DecryptBuffer(header, kPKZipHeaderSize);
}

void TZACryptKeys::MakeHeader(const std::string& password, uint32_t crc, uint8_t* header) {
    FillRandomBytes(header, 10);
    header[10] = static_cast<uint8_t>(crc >> 16);
    header[11] = static_cast<uint8_t>(crc >> 24);
    InitKeys(password);
    EncryptRange(header, 0, kPKZipHeaderSize);
}

bool PKZipHeaderMatches(const uint8_t* decryptedHeader, uint16_t flags, uint16_t lastModTime,
                        uint32_t crc) {
    uint8_t expected = (flags & 0x08) ? static_cast<uint8_t>(lastModTime >> 8)
                                      : static_cast<uint8_t>(crc >> 24);
    return decryptedHeader[11] == expected;
}
