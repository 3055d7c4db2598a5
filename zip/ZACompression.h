#pragma once
// Primitives under the archiver's item-data path: compression level and
// mode, raw deflate through zlib, CRC-32 and the traditional PKWARE cipher.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/rtl/Exception.h"

struct z_stream_s;

enum TZACompressionLevel { clNone, clFastest, clNormal, clMax };

uint8_t ModeFromLevel(TZACompressionLevel level);
TZACompressionLevel LevelFromMode(uint8_t mode);
uint32_t BlockSizeForMode(uint8_t mode);
std::array<uint8_t, 2> ZlibHeaderForMode(uint8_t mode);

class EZlibError : public Exception {
public:
    using Exception::Exception;
};
class ECompressionError : public EZlibError {
public:
    using EZlibError::EZlibError;
};
class EDecompressionError : public EZlibError {
public:
    using EZlibError::EZlibError;
};

// Negative zlib results raise ("error"); others pass through.
int CheckCompression(int result);
int CheckDecompression(int result);

// Table-driven update of an uncomplemented CRC-32 register (start items at
// 0xFFFFFFFF and complement at the end).
uint32_t CRC32(uint32_t crc, const void* buffer, int64_t length);
void UpdateCRC(const void* buffer, int64_t length, uint32_t& crc);
const uint32_t* CRC32Table();

// Raw deflate (no zlib header or trailer), fed block by block.
class TZADeflater {
public:
    explicit TZADeflater(int level);
    ~TZADeflater();
    TZADeflater(const TZADeflater&) = delete;
    TZADeflater& operator=(const TZADeflater&) = delete;

    // Appends the compressed form of the block to out. Every block but the
    // last is sync-flushed, so its output is complete on its own; last
    // finishes the stream.
    void Compress(const void* data, size_t size, bool last, std::vector<uint8_t>& out);

private:
    z_stream_s* stream_;
};

// Raw inflate that never produces more than the recorded size: data that
// would inflate beyond it is a damaged item (EZAException code 57), not a
// full disk.
class TZAInflater {
public:
    explicit TZAInflater(uint64_t expectedSize);
    ~TZAInflater();
    TZAInflater(const TZAInflater&) = delete;
    TZAInflater& operator=(const TZAInflater&) = delete;

    // Appends what the block inflates to; raises EDecompressionError for
    // corrupt data.
    void Decompress(const void* data, size_t size, std::vector<uint8_t>& out);
    // Hands the output to sink in chunks of at most 256 KiB as it is made;
    // false when the sink refused a chunk (inflating stops there).
    using TSink = std::function<bool(const uint8_t*, size_t)>;
    bool Decompress(const void* data, size_t size, const TSink& sink);
    // The same, inflating straight into the memory `room` offers for at most
    // the number of bytes asked (a chunk, never past the recorded size): the
    // output then needs no copy. An empty room stops inflating (false).
    using TRoom = std::function<std::span<uint8_t>(size_t wanted)>;
    bool DecompressInto(const void* data, size_t size, const TRoom& room, const TSink& sink);
    bool Finished() const { return finished_; }
    uint64_t Produced() const { return produced_; }

private:
    z_stream_s* stream_;
    uint64_t expected_;
    uint64_t produced_ = 0;
    std::vector<uint8_t> window_;
    bool finished_ = false;
};

// The whole buffer as one raw deflate stream, through libdeflate (several
// times faster than zlib on whole buffers); appended to out. False, with out
// as it was, when the level is outside 0..9.
bool DeflateWhole(const void* data, size_t size, int level, std::vector<uint8_t>& out);
// The same into memory the caller provides: at most DeflateWholeBound bytes
// for size bytes of input (0 for a level outside 0..9). Returns the bytes
// written, 0 for a level outside 0..9 or room short of the bound.
size_t DeflateWholeBound(size_t size, int level);
size_t DeflateWholeInto(const void* data, size_t size, int level, uint8_t* out, size_t room);

// One-shot helpers over the two classes, in blocks of BlockSizeForMode.
std::vector<uint8_t> DeflateRaw(const void* data, size_t size, int level);
// Raises EDecompressionError when the data is corrupt or ends early, and
// EZAException(57) when it inflates beyond expectedSize.
std::vector<uint8_t> InflateRaw(const void* data, size_t size, uint64_t expectedSize);

inline constexpr size_t kPKZipHeaderSize = 12;

// Key state of the traditional PKWARE cipher.
class TZACryptKeys {
public:
    uint32_t Key0 = 0x12345678;
    uint32_t Key1 = 0x23456789;
    uint32_t Key2 = 0x34567890;

    void InitKeys(const std::string& password);
    void UpdateKeys(uint8_t c);
    uint8_t KeyStreamByte() const;
    uint8_t EncryptByte(uint8_t plain);
    void EncryptRange(uint8_t* buffer, size_t start, size_t count);
    void DecryptBuffer(uint8_t* buffer, size_t count);
    void InitKeysAndDecryptHeader(const std::string& password, uint8_t* header);

    // Initialises the keys from the password and writes the encrypted
    // 12-byte header for an item with this final CRC-32: ten random bytes,
    // then bits 16-23 and 24-31 of the CRC. The data follows under the
    // resulting key state.
    void MakeHeader(const std::string& password, uint32_t crc, uint8_t* header);
};

// Whether a decrypted header's check byte (byte 11) fits the item: the high
// byte of the last-modified time when flag bit 3 is set, else bits 24-31 of
// the CRC-32.
bool PKZipHeaderMatches(const uint8_t* decryptedHeader, uint16_t flags, uint16_t lastModTime,
                        uint32_t crc);
