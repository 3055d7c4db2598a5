#include "zip/Protection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/rtl/FileName.h"
#include "platform/rtl/FileStream.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/SafeFileWriter.h"
#include "zip/SecureBytes.h"
#include "zip/StringFormat.h"

namespace {

std::atomic<TProtectionProgress> gProgress{nullptr};
std::atomic<void*> gProgressContext{nullptr};

constexpr int64_t kPieceSize = 4096;

}  // namespace

void SetProtectionProgress(TProtectionProgress progress, void* context)
{
    gProgressContext = context;
    gProgress = progress;
}

void TProtection::Progress(int64_t position, int64_t size)
{
    if (TProtectionProgress progress = gProgress.load())
        progress(gProgressContext.load(), this, position, size);
}

void TProtection::SetProtection(std::shared_ptr<TProtection> protection)
{
    for (const TProtection* p = protection.get(); p != nullptr; p = p->protection_.get())
        if (p == this)
            throw EProtection("Circular Protection detected, Protection Object is invalid.");
    protection_ = std::move(protection);
}

void TProtection::StartProcessing(int action)
{
    if (protection_)
        protection_->StartProcessing(action);
}

void TProtection::FinishProcessing(int action)
{
    if (protection_)
        protection_->FinishProcessing(action);
}

void TProtection::ProcessData(uint8_t* buffer, size_t size, int action)
{
    if (protection_)
        protection_->ProcessData(buffer, size, action);
}

void TProtection::ProcessStream(TStream& source, TStream* dest, int64_t size, int action)
{
    if (dest == nullptr)
        dest = &source;
    if (size < 0) {
        source.SetPosition(0);
        size = source.GetSize();
    }
    int64_t sourcePos = source.GetPosition();
    int64_t destPos = dest == &source ? sourcePos : dest->GetPosition();

    StartProcessing(action);
    Progress(0, size);
    std::vector<uint8_t> piece(kPieceSize);
    int64_t done = 0;
    while (done < size) {
        int64_t want = std::min(kPieceSize, size - done);
        source.SetPosition(sourcePos);
        int64_t got = source.Read(piece.data(), want);
        if (got <= 0)
            break;
        ProcessData(piece.data(), static_cast<size_t>(got), action);
        if (action != kActionMeasure) {
            dest->SetPosition(destPos);
            dest->WriteBuffer(piece.data(), got);
            destPos += got;
        }
        sourcePos += got;
        done += got;
        Progress(done, size);
    }
    SecureZero(piece.data(), piece.size());
    Progress(0, 0);
    FinishProcessing(action);
}

void TProtection::ProcessFile(const std::string& source, const std::string& dest, int action)
{
    if (action == kActionMeasure) {
        TFileStream in(source, fmOpenRead | fmShareDenyWrite);
        ProcessStream(in, nullptr, -1, action);
        return;
    }
    const std::string target = dest.empty() ? source : dest;
    // A result that replaces nothing takes the permissions of its source.
    std::optional<mode_t> sourceMode;
    struct stat st;
    if (stat(source.c_str(), &st) == 0)
        sourceMode = st.st_mode & 07777;
    TFileStream in(source, fmOpenRead | fmShareDenyWrite);
    TSafeFileStream out(target, sourceMode);
    ProcessStream(in, &out, -1, action);
    out.SetSize(out.GetPosition());
    if (!out.Commit())
        throw EFCreateError("Cannot replace file \"" + target + "\": " + out.ErrorText());
}

std::string TProtection::ProcessString(const std::string& source, int action, int formatId)
{
    TMemoryStream stream;
    if (action == kActionDecrypt) {
        std::string bytes = TextToFormat(source, formatId);
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    } else {
        stream.WriteBuffer(source.data(), static_cast<int64_t>(source.size()));
    }
    ProcessStream(stream, nullptr, -1, action);
    std::string result(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
    if (action == kActionDecrypt)
        return result;
    return FormatToText(result, formatId);
}

size_t TProtection::ProcessBuffer(void* buffer, size_t size, int action)
{
    StartProcessing(action);
    ProcessData(static_cast<uint8_t*>(buffer), size, action);
    FinishProcessing(action);
    return size;
}
