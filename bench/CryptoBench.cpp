// Our AES-256 counter mode, SHA-1 and PBKDF2-HMAC-SHA1 side by side with
// OpenSSL's, then the throughput ratios. Both sides use the processor's AES
// and SHA instructions where it has them; "--benchmark_filter" picks cases.
#include <openssl/evp.h>
#include "bench/RatioReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "zip/AesHardware.h"
#include "zip/CipherRijndael.h"
#include "zip/PBKDF2.h"
#include "zip/Sha1.h"

namespace {

constexpr size_t kBufferSize = size_t{1} << 20;
constexpr int kIterations = 1000;  // the count of one AES archive item
constexpr size_t kDerived = 66;    // AES-256 item: two keys and the verifier

const uint8_t kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                          17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const uint8_t kSalt[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
const char kPassword[] = "a portfolio password";

void OursAesCtr(benchmark::State& state)
{
    std::vector<uint8_t> data(kBufferSize, 0x5A);
    uint8_t key[32];
    std::memcpy(key, kKey, sizeof key);
    TCipher_Rijndael cipher(key, sizeof key);
    cipher.SetMode(kModeCTR);
    for (auto _ : state) {
        cipher.EncryptBuffer(data.data(), data.data(), data.size());
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBufferSize));
}

void OpenSslAesCtr(benchmark::State& state)
{
    std::vector<uint8_t> data(kBufferSize, 0x5A);
    uint8_t iv[16] = {1};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ctr(), nullptr, kKey, iv);
    for (auto _ : state) {
        int n = 0;
        EVP_EncryptUpdate(ctx, data.data(), &n, data.data(), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(data.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBufferSize));
}

// SHA-1 is the larger cost inside an AES item: its code covers every byte.
void OursSha1(benchmark::State& state)
{
    std::vector<uint8_t> data(kBufferSize, 0x5A);
    TDigestBuffer out;
    for (auto _ : state) {
        Digest(Sha1Descriptor(), data.data(), data.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBufferSize));
}

void OpenSslSha1(benchmark::State& state)
{
    std::vector<uint8_t> data(kBufferSize, 0x5A);
    unsigned char out[20];
    for (auto _ : state) {
        EVP_Digest(data.data(), data.size(), out, nullptr, EVP_sha1(), nullptr);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBufferSize));
}

// state.range(0): the iteration count.
void OursPbkdf2(benchmark::State& state)
{
    uint8_t out[kDerived];
    for (auto _ : state) {
        DeriveKey(kPassword, sizeof kPassword - 1, kSalt, kDerived, out, int(state.range(0)), sizeof kSalt);
        benchmark::DoNotOptimize(out);
    }
}

void OpenSslPbkdf2(benchmark::State& state)
{
    uint8_t out[kDerived];
    for (auto _ : state) {
        PKCS5_PBKDF2_HMAC_SHA1(kPassword, sizeof kPassword - 1, kSalt, sizeof kSalt, int(state.range(0)), kDerived,
                               out);
        benchmark::DoNotOptimize(out);
    }
}


// Both sides must compute the same bytes before their times mean anything.
bool SameResults()
{
    std::vector<uint8_t> ours(4096, 0), theirs(4096, 0);
    uint8_t key[32];
    std::memcpy(key, kKey, sizeof key);
    TCipher_Rijndael cipher(key, sizeof key);
    cipher.SetMode(kModeCTR);
    cipher.EncryptBuffer(ours.data(), ours.data(), ours.size());
    // Our counter starts at 1 in the low byte; for 256 blocks the little- and
    // big-endian increments only differ in byte order of the counter block.
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, kKey, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (size_t block = 0; block < ours.size() / 16; ++block) {
        uint8_t counter[16] = {};
        uint64_t value = block + 1;
        for (int i = 0; i < 8; ++i)
            counter[i] = uint8_t(value >> (8 * i));
        uint8_t keystream[16];
        int n = 0;
        EVP_EncryptUpdate(ctx, keystream, &n, counter, 16);
        std::memcpy(theirs.data() + block * 16, keystream, 16);
    }
    EVP_CIPHER_CTX_free(ctx);
    if (ours != theirs)
        return false;

    std::vector<uint8_t> data(100003, 0x33);
    TDigestBuffer ourDigest;
    Digest(Sha1Descriptor(), data.data(), data.size(), ourDigest);
    unsigned char theirDigest[20];
    EVP_Digest(data.data(), data.size(), theirDigest, nullptr, EVP_sha1(), nullptr);
    if (std::memcmp(ourDigest.data(), theirDigest, 20) != 0)
        return false;

    uint8_t a[kDerived], b[kDerived];
    DeriveKey(kPassword, sizeof kPassword - 1, kSalt, kDerived, a, kIterations, sizeof kSalt);
    PKCS5_PBKDF2_HMAC_SHA1(kPassword, sizeof kPassword - 1, kSalt, sizeof kSalt, kIterations, kDerived, b);
    return std::memcmp(a, b, kDerived) == 0;
}

}  // namespace

BENCHMARK(OursAesCtr)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslAesCtr)->Unit(benchmark::kMicrosecond);
BENCHMARK(OursSha1)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslSha1)->Unit(benchmark::kMicrosecond);
BENCHMARK(OursPbkdf2)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslPbkdf2)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (!SameResults()) {
        std::fprintf(stderr, "our AES-256 CTR, SHA-1 or PBKDF2 differs from OpenSSL's\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* label, const char* ours, const char* theirs) {
        double a = reporter.Time(ours), b = reporter.Time(theirs);
        if (a > 0 && b > 0)
            std::printf("%s: ours takes %.2f times as long as OpenSSL (throughput ratio %.3f)\n", label, a / b,
                        b / a);
    };
    std::printf("AES instructions: %s; SHA instructions: %s\n", AesHardwareAvailable() ? "used" : "absent",
                Sha1HardwareAvailable() ? "used" : "absent");
    ratio("AES-256 CTR, 1 MiB", "OursAesCtr", "OpenSslAesCtr");
    ratio("SHA-1, 1 MiB", "OursSha1", "OpenSslSha1");
    ratio("PBKDF2-HMAC-SHA1, 1000 iterations, 66 bytes", "OursPbkdf2/1000", "OpenSslPbkdf2/1000");
    ratio("PBKDF2-HMAC-SHA1, 10000 iterations, 66 bytes", "OursPbkdf2/10000", "OpenSslPbkdf2/10000");
    benchmark::Shutdown();
    return 0;
}
