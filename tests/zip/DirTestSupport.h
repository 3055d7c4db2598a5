#pragma once
// Helpers shared by the directory tests: an archiver stand-in with plain
// fields and a manager over a whole file held in memory.
#include <memory>
#include <string>

#include "fuzz/ZipDirectoryHarness.h"
#include "platform/rtl/MemoryStream.h"
#include "zip/EZAException.h"
#include "zip/TZADirManager.h"

using TTestOwner = TZAFuzzOwner;

inline std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes)
{
    auto stream = std::make_unique<TMemoryStream>();
    if (!bytes.empty())
        stream->WriteBuffer(bytes.data(), int64_t(bytes.size()));
    stream->SetPosition(0);
    return stream;
}

inline std::string BytesOf(TMemoryStream& stream)
{
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
}

// The native code of the EZAException that f raises; -1 when it raises none.
template <typename F>
int NativeErrorOf(F&& f)
{
    try {
        f();
    } catch (const EZAException& e) {
        return e.NativeError;
    }
    return -1;
}

// The system Python, which carries the standard zipfile module.
inline const char* kPython = "/usr/bin/python3";
