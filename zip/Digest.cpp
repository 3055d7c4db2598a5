#include "zip/Digest.h"

#include <mutex>

#include "zip/Sha1.h"

namespace {

struct Registry {
    std::mutex lock;
    const TDigestDescriptor* slots[kDigestSlots] = {};
};

bool Valid(const TDigestDescriptor* d, int identifier)
{
    return d != nullptr && d->Magic == kDigestMagic && d->Identifier == static_cast<uint32_t>(identifier);
}

Registry& TheRegistry()
{
    // SHA-1 is the program's digest; it is there before anyone asks.
    static Registry* registry = [] {
        auto* r = new Registry;
        r->slots[kDigestIdSHA1] = &Sha1Descriptor();
        return r;
    }();
    return *registry;
}

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

void RegisterDigest(int identifier, const TDigestDescriptor* d)
{
    if (d == nullptr || identifier < 0 || identifier >= kDigestSlots)
        return;
    if (d->Identifier != static_cast<uint32_t>(identifier) || d->Magic != kDigestMagic ||
        d->Version != kDigestVersion || d->RecordSize != kDigestRecordSize)
        return;
    // HMAC and PBKDF2 hold a block and a digest in areas of these sizes.
    if (d->BlockSize > kMaxDigestBlockSize || d->DigestSize > kMaxDigestSize)
        return;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.slots[identifier] = d;
}

void UnregisterAllDigests()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (auto& slot : r.slots)
        slot = nullptr;
}

const TDigestDescriptor* FindDigestById(int identifier)
{
    if (identifier < 0 || identifier >= kDigestSlots)
        return nullptr;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    const TDigestDescriptor* d = r.slots[identifier];
    return Valid(d, identifier) ? d : nullptr;
}

const TDigestDescriptor* FindDigestByName(std::string_view name)
{
    name = name.substr(0, 19);
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (int id = 0; id < kDigestSlots; ++id) {
        const TDigestDescriptor* d = r.slots[id];
        if (!Valid(d, id))
            continue;
        std::string_view own(d->Name);
        if (own.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < own.size() && same; ++i)
            same = Fold(own[i]) == Fold(name[i]);
        if (same)
            return d;
    }
    return nullptr;
}

void Digest(const TDigestDescriptor& descriptor, const void* data, size_t length, TDigestBuffer& out)
{
    TDigestContext context;
    descriptor.Init(context);
    descriptor.Update(context, data, length);
    descriptor.Final(context, out);
}
