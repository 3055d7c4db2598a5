#include "model/MD5.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/RegularFile.h"

namespace {

// RFC 1321 computation state: the four state words, the message length in
// bits and the bytes of a block not yet complete.
struct Context {
    uint32_t state[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
    uint64_t bitCount = 0;
    uint8_t buffer[64] = {};
};

inline uint32_t Rotl(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadLE(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
        | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreLE(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
    (a) += f((b), (c), (d)) + (x) + (t); \
    (a) = Rotl((a), (s)) + (b)

// Applies the compression function to consecutive 64-byte blocks.
void Transform(uint32_t state[4], const uint8_t* data, uint64_t blocks)
{
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = LoadLE(data + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

        MD5_STEP(MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[10], 0x02441453, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

        MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

        MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef MD5_STEP
#undef MD5_I
#undef MD5_H
#undef MD5_G
#undef MD5_F

void Update(Context& ctx, const uint8_t* data, uint64_t length)
{
    size_t used = static_cast<size_t>((ctx.bitCount >> 3) & 63);
    // The length counts modulo 2^64 bits, as the algorithm defines it.
    ctx.bitCount += length << 3;

    if (used > 0) {
        const size_t room = 64 - used;
        if (length < room) {
            std::memcpy(ctx.buffer + used, data, static_cast<size_t>(length));
            return;
        }
        std::memcpy(ctx.buffer + used, data, room);
        Transform(ctx.state, ctx.buffer, 1);
        data += room;
        length -= room;
    }
    // Whole blocks straight from the input, without copying.
    const uint64_t blocks = length / 64;
    Transform(ctx.state, data, blocks);
    data += blocks * 64;
    length -= blocks * 64;
    std::memcpy(ctx.buffer, data, static_cast<size_t>(length));
}

void Final(Context& ctx, uint8_t digest[16])
{
    uint8_t bits[8];
    for (int i = 0; i < 8; ++i)
        bits[i] = static_cast<uint8_t>(ctx.bitCount >> (8 * i));

    // Pad to 56 bytes modulo 64: one 0x80 byte, then zeros.
    static const uint8_t kPadding[64] = {0x80};
    const size_t used = static_cast<size_t>((ctx.bitCount >> 3) & 63);
    const size_t padLength = used < 56 ? 56 - used : 120 - used;
    Update(ctx, kPadding, padLength);
    Update(ctx, bits, 8);

    for (int i = 0; i < 4; ++i)
        StoreLE(digest + 4 * i, ctx.state[i]);
}

} // namespace

std::string MD5::ToHex(const uint8_t* digest) const
{
    if (!digest)
        return std::string();
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(2 * kDigestSize, '0');
    for (int i = 0; i < kDigestSize; ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 0x0F];
    }
    return text;
}

HashDigest MD5::Digest(const uint8_t* data, uint64_t length) const
{
    if (!data || length == 0)
        return nullptr;
    Context ctx;
    Update(ctx, data, length);
    HashDigest digest(new uint8_t[kDigestSize]);
    Final(ctx, digest.get());
    return digest;
}

HashDigest MD5::DigestFile(const std::string& path) const
{
    if (path.empty())
        return nullptr;
    // Read in blocks that stay in the processor's cache while they are
    // hashed: faulting a mapped view in page by page costs more than the
    // digest itself on large files.
    int64_t size = 0;
    const int fd = OpenRegularFile(path, kNoSizeLimit, size);
    if (fd < 0)
        return nullptr;
    if (size <= 0) {
        ::close(fd);
        return nullptr;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    constexpr size_t kBlock = size_t{256} << 10;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBlock]);
    Context ctx;
    uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.get(), kBlock);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return nullptr;
        }
        if (n == 0)
            break;
        Update(ctx, buffer.get(), static_cast<uint64_t>(n));
        total += static_cast<uint64_t>(n);
    }
    ::close(fd);
    // A file emptied since fstat has no digest, as an empty one never has.
    if (total == 0)
        return nullptr;
    HashDigest digest(new uint8_t[kDigestSize]);
    Final(ctx, digest.get());
    return digest;
}

struct MD5::Running::State {
    Context context;
};

MD5::Running::Running() : state_(std::make_unique<State>()) {}
MD5::Running::~Running() = default;
MD5::Running::Running(Running&&) noexcept = default;
MD5::Running& MD5::Running::operator=(Running&&) noexcept = default;

void MD5::Running::Update(const uint8_t* data, uint64_t length)
{
    if (data && length > 0)
        ::Update(state_->context, data, length);
}

HashDigest MD5::Running::Finish()
{
    if (state_->context.bitCount == 0)
        return nullptr;
    HashDigest digest(new uint8_t[kDigestSize]);
    Final(state_->context, digest.get());
    state_ = std::make_unique<State>();
    return digest;
}

HashDigest MD5::DigestStream(TMemoryStream* stream) const
{
    if (!stream)
        return nullptr;
    return Digest(stream->Memory(), static_cast<uint64_t>(stream->GetSize()));
}
