#pragma once
// Small helpers shared by the archive tests: test data, streams over strings,
// extraction to a string and the native code of a raised archive exception.
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "platform/rtl/MemoryStream.h"
#include "zip/EZAException.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

// A stream holding the bytes, positioned at its start.
inline TMemoryStream StreamOf(const std::string& bytes)
{
    TMemoryStream s;
    if (!bytes.empty())
        s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    s.SetPosition(0);
    return s;
}

inline std::string Text(TMemoryStream& s)
{
    return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.GetSize()));
}

// Bytes that deflate compresses, but not to nothing.
inline std::string Compressible(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = char(rng() % 7 == 0 ? rng() : 'a' + rng() % 4);
    return s;
}

// Bytes that do not compress.
inline std::string Random(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = char(rng());
    return s;
}

inline std::string Extract(TZipArchiver& a, const std::u16string& name)
{
    TMemoryStream out;
    a.ExtractToStream(name, out);
    return Text(out);
}

inline std::string Extract(TZipArchiver& a, const std::string& name) { return Extract(a, W(name)); }

// The native code of the archive exception f raises; -1 when it raises none.
inline int Native(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EZAException& e) {
        return e.NativeError;
    }
    return -1;
}
