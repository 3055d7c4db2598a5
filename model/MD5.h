#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "model/Hasher.h"

class TMemoryStream;

// The MD5 message digest (16 bytes), used to identify file contents. Its
// text form is 32 upper-case hexadecimal digits. No digest of empty input is
// ever produced: empty data, an empty stream and an empty file give null.
class MD5 : public Hasher {
public:
    static constexpr int kDigestSize = 16;

    // Two digits per byte, high half first, bytes in digest order.
    std::string ToHex(const uint8_t* digest) const override;
    HashDigest Digest(const uint8_t* data, uint64_t length) const override;

    // The digest of a whole file, read from start to end in large blocks. Null for
    // an empty path and for a file that is missing, unreadable or empty.
    HashDigest DigestFile(const std::string& path) const;
    // The digest of the stream's whole content, whatever its position; null
    // for a null or empty stream.
    HashDigest DigestStream(TMemoryStream* stream) const;

    // The digest of bytes that arrive in pieces, each hashed while it is
    // still in the cache of the thread that made it.
    class Running {
    public:
        Running();
        ~Running();
        Running(Running&&) noexcept;
        Running& operator=(Running&&) noexcept;
        void Update(const uint8_t* data, uint64_t length);
        // Null when no byte came, as for empty data.
        HashDigest Finish();

    private:
        struct State;
        std::unique_ptr<State> state_;
    };
};
