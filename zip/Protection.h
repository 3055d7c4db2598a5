#pragma once
// Objects that transform buffers, streams, files and strings, and may pass
// their data through a chained second protection.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Stream.h"

class EProtection : public Exception {
public:
    using Exception::Exception;
};

// Action numbers. Every number other than kActionDecrypt encrypts; the two
// below also change how a cipher's chaining state is started and finished.
enum : int {
    kActionEncrypt = 0,
    kActionDecrypt = 1,
    kActionMeasure = 3,       // read through without writing (message codes)
    kActionRandomFeedback = 4,  // start from a random feedback register
};

class TProtection;

// One process-wide progress procedure, called with (context, sender,
// position, size) while streams are processed.
using TProtectionProgress = void (*)(void* context, TProtection* sender, int64_t position, int64_t size);
void SetProtectionProgress(TProtectionProgress progress, void* context);

class TProtection {
public:
    TProtection() = default;
    virtual ~TProtection() = default;
    TProtection(const TProtection&) = delete;
    TProtection& operator=(const TProtection&) = delete;

    virtual void StartProcessing(int action);
    virtual void FinishProcessing(int action);
    virtual void ProcessData(uint8_t* buffer, size_t size, int action);
    // Without dest the source is transformed in place. A negative size means
    // the whole source from its start; otherwise size bytes from its position.
    virtual void ProcessStream(TStream& source, TStream* dest, int64_t size, int action);
    // An empty dest, or the same name, transforms the file itself. The result
    // is written beside the target and renamed over it, so a failure leaves
    // the target as it was.
    virtual void ProcessFile(const std::string& source, const std::string& dest, int action);
    // Decrypting reads text in the given format and returns raw bytes; other
    // actions take raw bytes and return text in that format.
    virtual std::string ProcessString(const std::string& source, int action, int formatId);
    virtual size_t ProcessBuffer(void* buffer, size_t size, int action);

    const std::shared_ptr<TProtection>& Protection() const { return protection_; }
    // Throws EProtection when the chain would lead back to this object.
    void SetProtection(std::shared_ptr<TProtection> protection);

    // Actions for which the object transforms data itself (all by default).
    uint8_t Actions = 0xFF;
    bool HasAction(int action) const { return action >= 0 && action < 8 && (Actions >> action) & 1; }

protected:
    void Progress(int64_t position, int64_t size);

private:
    std::shared_ptr<TProtection> protection_;
};
