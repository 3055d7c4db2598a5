#include "zip/Cipher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "zip/CipherRijndael.h"
#include "zip/RandomBytes.h"
#include "zip/SecureBytes.h"

namespace {

void Fill(std::vector<uint8_t>& buffer, uint8_t value) { std::memset(buffer.data(), value, buffer.size()); }

void XorInto(uint8_t* dest, const uint8_t* a, const uint8_t* b, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        dest[i] = a[i] ^ b[i];
}

}  // namespace

TCipher::TCipher(const TCipherContext& context)
    : maxKeySize_(context.MaxKeySize),
      blockSize_(context.BlockSize),
      scheduleSize_(context.ScheduleSize),
      work_(context.BlockSize),
      vector_(context.BlockSize),
      feedback_(context.BlockSize),
      keystream_(context.BlockSize),
      counter_(context.BlockSize),
      schedule_((context.ScheduleSize + 3) / 4),
      counterPos_(context.BlockSize)
{
    Wipe();
}

TCipher::~TCipher()
{
    Wipe();
    SecureZero(keystream_.data(), keystream_.size());
}

void TCipher::SetStateBit(int bit, bool value)
{
    if (value)
        flags_ |= 1u << bit;
    else
        flags_ &= ~(1u << bit);
}

void TCipher::SetVector(const void* vector)
{
    if (vector != nullptr) {
        std::memcpy(vector_.data(), vector, blockSize_);
    } else {
        EncryptBlock(vector_.data());
    }
    feedback_ = vector_;
    SetStateBit(kStateInitialized, true);
}

void TCipher::GetSizes(size_t& blockSize, size_t& maxKeySize, size_t& scheduleSize) const
{
    blockSize = maxKeySize = scheduleSize = 0;
}

const TCipherTestData* TCipher::GetSelfTestData() const { return nullptr; }
void TCipher::EncryptBlock(uint8_t*) {}
void TCipher::DecryptBlock(uint8_t*) {}

void TCipher::ScheduleKey(const void*, size_t, const void* vector) { SetVector(vector); }

void TCipher::EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks)
{
    const size_t B = blockSize_;
    uint8_t t[64];
    for (size_t i = 0; i < blocks; ++i) {
        std::memcpy(t, in + i * B, B);
        EncryptBlock(t);
        std::memcpy(out + i * B, t, B);
    }
    SecureZero(t, sizeof t);
}

void TCipher::DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks)
{
    const size_t B = blockSize_;
    uint8_t t[64];
    for (size_t i = 0; i < blocks; ++i) {
        std::memcpy(t, in + i * B, B);
        DecryptBlock(t);
        std::memcpy(out + i * B, t, B);
    }
    SecureZero(t, sizeof t);
}

void TCipher::EncryptCounterBlocks(uint8_t* counter, const uint8_t* in, uint8_t* out, size_t blocks,
                                   uint8_t* lastKeystream)
{
    const size_t B = blockSize_;
    for (size_t n = 0; n < blocks; ++n) {
        for (size_t i = 0; i < 8 && i < B && ++counter[i] == 0; ++i) {
        }
        std::memcpy(lastKeystream, counter, B);
        EncryptBlock(lastKeystream);
        XorInto(out + n * B, in + n * B, lastKeystream, B);
    }
}

void TCipher::RestartChain()
{
    if (feedback_ != vector_) {
        work_ = feedback_;
        feedback_ = vector_;
    }
}

void TCipher::Wipe()
{
    flags_ = 0;
    uint8_t* schedule = KeySchedule();
    for (uint8_t pattern : {0xAA, 0x55}) {
        Fill(vector_, pattern);
        Fill(feedback_, pattern);
        Fill(work_, pattern);
        std::memset(schedule, pattern, schedule_.size() * 4);
    }
    Fill(vector_, 0xFF);
    Fill(feedback_, 0xFF);
    SecureZero(work_.data(), work_.size());
    SecureZero(schedule, schedule_.size() * 4);
    SecureZero(counter_.data(), counter_.size());
    DropKeystream();
}

void TCipher::DropKeystream()
{
    // The unused rest of a counter-mode block came from the key in force
    // when it was made; the next byte must start a block under the new one.
    SecureZero(keystream_.data(), keystream_.size());
    counterPos_ = blockSize_;
}

void TCipher::SetKey(void* key, size_t size, const void* vector)
{
    ScheduleKey(key, std::min(size, maxKeySize_), vector);
    DropKeystream();
    EncryptBuffer(key, key, size);
    // The message-code modes write no output; the key copy must still go.
    if (mode_ >= kModeMacXor)
        SecureZero(key, size);
    RestartChain();
    SetStateBit(kStateKeySet, true);
}

void TCipher::CheckInitialized() const
{
    if (!Initialized()) {
        char message[160];
        std::snprintf(message, sizeof message, "%s is not initialized call Init() or InitKey() before.", ClassName());
        throw ECipherException(message, kCipherErrorNotInitialized);
    }
}

void TCipher::EncryptBuffer(const void* source, void* dest, size_t size)
{
    CheckInitialized();
    Transform(static_cast<const uint8_t*>(source), static_cast<uint8_t*>(dest), size, false);
}

void TCipher::DecryptBuffer(const void* source, void* dest, size_t size)
{
    CheckInitialized();
    Transform(static_cast<const uint8_t*>(source), static_cast<uint8_t*>(dest), size, true);
}

void TCipher::NextCounterBlock()
{
    for (size_t i = 0; i < 8 && i < blockSize_ && ++counter_[i] == 0; ++i) {
    }
    std::memcpy(keystream_.data(), counter_.data(), blockSize_);
    EncryptBlock(keystream_.data());
    counterPos_ = 0;
}

void TCipher::Transform(const uint8_t* in, uint8_t* out, size_t size, bool decrypt)
{
    const size_t B = blockSize_;
    uint8_t* fb = feedback_.data();
    // Scratch block; in and out may be the same memory.
    uint8_t t[64];
    uint8_t c[64];

    auto byteWise = [&](auto step) {
        for (size_t i = 0; i < size; ++i) {
            std::memcpy(t, fb, B);
            EncryptBlock(t);
            step(i, t[0]);
        }
    };
    auto shiftIn = [&](uint8_t last) {
        std::memmove(fb, fb + 1, B - 1);
        fb[B - 1] = last;
    };
    // The tail of a buffer in the block modes: a keystream from the feedback
    // register, the same in both directions.
    auto tail = [&](size_t at) {
        if (at == size)
            return;
        std::memcpy(t, fb, B);
        EncryptBlock(t);
        XorInto(out + at, in + at, t, size - at);
    };

    size_t whole = B == 0 ? 0 : size / B * B;
    switch (mode_) {
    case kModeXorFeedback:
    case kModeCBC:
        for (size_t at = 0; at < whole; at += B) {
            std::memcpy(c, in + at, B);
            if (!decrypt) {
                XorInto(t, c, fb, B);
                EncryptBlock(t);
                std::memcpy(out + at, t, B);
                std::memcpy(c, t, B);  // the cipher block
            } else {
                std::memcpy(t, c, B);
                DecryptBlock(t);
                XorInto(out + at, t, fb, B);
            }
            if (mode_ == kModeCBC)
                std::memcpy(fb, c, B);
            else
                XorInto(fb, fb, c, B);
        }
        tail(whole);
        break;
    case kModeCFB8:
        byteWise([&](size_t i, uint8_t k) {
            uint8_t x = in[i];
            out[i] = x ^ k;
            shiftIn(decrypt ? x : out[i]);
        });
        break;
    case kModeOFB8:
        byteWise([&](size_t i, uint8_t k) {
            out[i] = in[i] ^ k;
            shiftIn(k);
        });
        break;
    case kModeCTR: {
        size_t i = 0;
        for (; i < size && counterPos_ < B; ++i)
            out[i] = in[i] ^ keystream_[counterPos_++];
        if (const size_t blocks = B == 0 ? 0 : (size - i) / B; blocks > 0) {
            EncryptCounterBlocks(counter_.data(), in + i, out + i, blocks, keystream_.data());
            counterPos_ = B;
            i += blocks * B;
        }
        if (i < size) {
            NextCounterBlock();
            for (; i < size; ++i)
                out[i] = in[i] ^ keystream_[counterPos_++];
        }
        break;
    }
    case kModeECB:
        if (B == 0)
            break;
        if (decrypt)
            DecryptBlocks(in, out, whole / B);
        else
            EncryptBlocks(in, out, whole / B);
        tail(whole);
        break;
    case kModeMacXor:
    case kModeMacCBC:
        for (size_t at = 0; at < whole; at += B) {
            XorInto(t, in + at, fb, B);
            EncryptBlock(t);
            if (mode_ == kModeMacXor)
                XorInto(fb, fb, t, B);
            else
                std::memcpy(fb, t, B);
        }
        if (whole < size) {
            std::memcpy(t, fb, B);
            EncryptBlock(t);
            XorInto(fb, fb, t, B);
        }
        break;
    case kModeMacCFB8:
        byteWise([&](size_t i, uint8_t k) { shiftIn(in[i] ^ k); });
        break;
    default:
        break;
    }
    SecureZero(t, sizeof t);
    SecureZero(c, sizeof c);
}

void TCipher::StartProcessing(int action)
{
    CheckInitialized();
    if (action == kActionRandomFeedback)
        FillRandomBytes(feedback_.data(), feedback_.size());
    else if (action != kActionMeasure)
        RestartChain();
    TProtection::StartProcessing(action);
}

void TCipher::FinishProcessing(int action)
{
    TProtection::FinishProcessing(action);
    CheckInitialized();
    if (action == kActionRandomFeedback)
        FillRandomBytes(feedback_.data(), feedback_.size());
    else if (action != kActionMeasure)
        RestartChain();
}

void TCipher::ProcessData(uint8_t* buffer, size_t size, int action)
{
    if (action == kActionDecrypt) {
        if (HasAction(action))
            DecryptBuffer(buffer, buffer, size);
        TProtection::ProcessData(buffer, size, action);
    } else {
        TProtection::ProcessData(buffer, size, action);
        if (HasAction(action))
            EncryptBuffer(buffer, buffer, size);
    }
}

// ---- class registry ----------------------------------------------------------

namespace {

struct Entry {
    const TCipherClass* cipherClass;
    std::string name, description;
};

struct CipherRegistry {
    std::mutex lock;
    std::vector<Entry> entries;
};

std::string DerivedName(const char* className)
{
    std::string name = className;
    if (!name.empty() && name[0] == 'T')
        name.erase(0, 1);
    size_t underscore = name.find('_');
    if (underscore != std::string::npos)
        name.erase(0, underscore + 1);
    return name;
}

void AddLocked(CipherRegistry& r, const TCipherClass* cipherClass, const std::string& name,
               const std::string& description)
{
    Entry entry{cipherClass, name.empty() ? DerivedName(cipherClass->ClassName) : name, description};
    for (Entry& e : r.entries)
        if (e.cipherClass == cipherClass) {
            e = entry;
            return;
        }
    r.entries.push_back(entry);
}

CipherRegistry& TheRegistry()
{
    static CipherRegistry* registry = [] {
        auto* r = new CipherRegistry;
        AddLocked(*r, &TCipher_Rijndael::Class(), "", "");
        return r;
    }();
    return *registry;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

void AddCipherClass(const TCipherClass* cipherClass, const std::string& name, const std::string& description)
{
    if (cipherClass == nullptr)
        return;
    CipherRegistry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    AddLocked(r, cipherClass, name, description);
}

void RemoveCipherClass(const TCipherClass* cipherClass)
{
    CipherRegistry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.entries.erase(std::remove_if(r.entries.begin(), r.entries.end(),
                                   [&](const Entry& e) { return e.cipherClass == cipherClass; }),
                    r.entries.end());
}

std::vector<std::string> CipherClassEntries()
{
    CipherRegistry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    std::vector<std::string> list;
    for (const Entry& e : r.entries)
        list.push_back(e.name + "=" + e.description);
    return list;
}

const TCipherClass* FindCipherClass(std::string_view name)
{
    CipherRegistry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const Entry& e : r.entries)
        if (SameText(e.name, name))
            return e.cipherClass;
    return nullptr;
}
