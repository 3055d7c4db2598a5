#pragma once
// Block-cipher base: chaining modes over one block transformation, key
// set-up that overwrites the caller's copy of the key, and a class registry.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zip/Protection.h"

class ECipherException : public Exception {
public:
    ECipherException(const std::string& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

constexpr int kCipherErrorNotInitialized = 3;

// Chaining modes. FB is the feedback register, E/D the block transformations.
enum : uint8_t {
    kModeXorFeedback = 0,  // C = E(P ^ FB), FB ^= C
    kModeCBC = 1,          // C = E(P ^ FB), FB = C
    kModeCFB8 = 2,         // byte-wise cipher feedback
    kModeOFB8 = 3,         // byte-wise output feedback
    kModeCTR = 4,          // counter mode over a little-endian 64-bit counter
    kModeECB = 5,          // each block on its own
    kModeMacXor = 6,       // message code: FB ^= E(P ^ FB), nothing written
    kModeMacCBC = 7,       // message code: FB = E(P ^ FB), nothing written
    kModeMacCFB8 = 8,      // byte-wise message code, nothing written
    kModeLast = 8,
};

// Flag bits of the cipher state.
enum : int { kStateKeySet = 0, kStateInitialized = 1 };

// Known-answer data a cipher class carries for checking itself.
struct TCipherTestData {
    const uint8_t* Key;
    size_t KeySize;
    const uint8_t* Plain;
    const uint8_t* Cipher;  // one block each
};

struct TCipherContext {
    size_t BlockSize;
    size_t MaxKeySize;
    size_t ScheduleSize;
};

class TCipher : public TProtection {
public:
    ~TCipher() override;

    void StartProcessing(int action) override;
    void FinishProcessing(int action) override;
    void ProcessData(uint8_t* buffer, size_t size, int action) override;

    virtual void SetStateBit(int bit, bool value);
    // Copies the vector into the initialisation vector; without one, the
    // vector is replaced by its own encryption. Marks the cipher initialised.
    virtual void SetVector(const void* vector);
    virtual void GetSizes(size_t& blockSize, size_t& maxKeySize, size_t& scheduleSize) const;
    virtual const TCipherTestData* GetSelfTestData() const;
    virtual void EncryptBlock(uint8_t* block);
    virtual void DecryptBlock(uint8_t* block);
    virtual void ScheduleKey(const void* key, size_t size, const void* vector);
    // Many blocks at once, for ciphers that can keep several in flight; in
    // and out may be the same memory. The base runs the one-block forms.
    virtual void EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks);
    virtual void DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks);
    virtual void RestartChain();
    // Clears the state flags and overwrites every buffer.
    virtual void Wipe();
    virtual const char* ClassName() const { return "TCipher"; }

    // Keys the cipher (a size above the maximum is cut) and then overwrites
    // the caller's `size` key bytes, so no plain copy of the key is left there.
    void SetKey(void* key, size_t size, const void* vector = nullptr);
    // Both throw ECipherException (code 3) before a key or vector is set.
    // Source and dest may be the same buffer.
    void EncryptBuffer(const void* source, void* dest, size_t size);
    void DecryptBuffer(const void* source, void* dest, size_t size);

    uint8_t Mode() const { return mode_; }
    void SetMode(uint8_t mode) { mode_ = mode; }
    bool KeySet() const { return (flags_ >> kStateKeySet) & 1; }
    bool Initialized() const { return (flags_ >> kStateInitialized) & 1; }
    size_t BlockSize() const { return blockSize_; }
    size_t MaxKeySize() const { return maxKeySize_; }
    // The chaining state; in the message-code modes it holds the code.
    const uint8_t* FeedbackRegister() const { return feedback_.data(); }
    const uint8_t* InitVector() const { return vector_.data(); }

protected:
    explicit TCipher(const TCipherContext& context);
    // Counter mode over whole blocks: for each, the counter's first eight
    // bytes step on as a little-endian number, and the block is xored with
    // the counter's encryption. Leaves the last keystream block in lastKeystream.
    virtual void EncryptCounterBlocks(uint8_t* counter, const uint8_t* in, uint8_t* out, size_t blocks,
                                      uint8_t* lastKeystream);
    uint8_t* KeySchedule() { return reinterpret_cast<uint8_t*>(schedule_.data()); }
    const uint32_t* ScheduleWords() const { return schedule_.data(); }
    uint32_t* ScheduleWords() { return schedule_.data(); }

private:
    void CheckInitialized() const;
    void Transform(const uint8_t* in, uint8_t* out, size_t size, bool decrypt);
    void NextCounterBlock();
    void DropKeystream();

    uint8_t mode_ = 0;
    size_t maxKeySize_, blockSize_, scheduleSize_;
    std::vector<uint8_t> work_, vector_, feedback_, keystream_, counter_;
    std::vector<uint32_t> schedule_;  // word-aligned; scheduleSize_ bytes used
    size_t counterPos_;
    uint32_t flags_ = 0;
};

// A cipher class for the registry: its class name and how to create one.
struct TCipherClass {
    const char* ClassName;
    std::shared_ptr<TCipher> (*Create)(void* key, size_t size);
};

// Stores "Name=Description" for the class, replacing an earlier entry of the
// same class. An empty name is derived from the class name: without the
// leading "T" and everything up to the first "_".
void AddCipherClass(const TCipherClass* cipherClass, const std::string& name, const std::string& description);
void RemoveCipherClass(const TCipherClass* cipherClass);
// The "Name=Description" entries, in registration order.
std::vector<std::string> CipherClassEntries();
const TCipherClass* FindCipherClass(std::string_view name);
