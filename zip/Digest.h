#pragma once
// Digest descriptors and their registry: a digest is known by a small
// identifier or by name, and HMAC and PBKDF2 work over any registered one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t kMaxDigestSize = 64;
constexpr size_t kMaxDigestBlockSize = 128;
constexpr int kDigestSlots = 9;
constexpr uint16_t kDigestMagic = 0x3D7A;
constexpr uint32_t kDigestVersion = 0x00010003;
constexpr uint16_t kDigestRecordSize = 80;
constexpr int kDigestIdSHA1 = 3;

// A digest is always written into an area of the largest size a registered
// digest may have; the bytes after the digest are zero.
using TDigestBuffer = std::array<uint8_t, kMaxDigestSize>;

struct TSha1Context {
    uint32_t State[5];
    uint64_t BitCount;
    uint8_t Block[64];
    uint32_t Fill;
};

// Room for the state of any registered digest.
union TDigestContext {
    TSha1Context Sha1;
};

struct TDigestDescriptor {
    uint16_t Magic;
    uint16_t RecordSize;
    uint32_t Version;
    uint16_t BlockSize;
    uint16_t DigestSize;
    void (*Init)(TDigestContext& context);
    void (*Final)(TDigestContext& context, TDigestBuffer& digest);
    void (*Update)(TDigestContext& context, const void* data, size_t length);
    uint32_t Identifier;
    char Name[20];  // at most 19 characters, zero-terminated
    const uint32_t* Oid;
    uint32_t OidCount;
};

// Stores the descriptor under its identifier when the record is sound;
// anything else is ignored.
void RegisterDigest(int identifier, const TDigestDescriptor* descriptor);
// Empties the registry (also of the built-in SHA-1 until re-registered).
void UnregisterAllDigests();
const TDigestDescriptor* FindDigestById(int identifier);
// Compares the first 19 characters with a-z folded to upper case.
const TDigestDescriptor* FindDigestByName(std::string_view name);
// Init, one Update, Final.
void Digest(const TDigestDescriptor& descriptor, const void* data, size_t length, TDigestBuffer& out);
