#include "output/PortfolioGenerator.h"

#include "output/ProgressThread.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/RegularFile.h"
#include "platform/rtl/SafeFileWriter.h"
#include "platform/shell/RunFolder.h"
#include "platform/shell/Shell.h"

#include <QDate>
#include <QLocale>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const PortfolioGenerator::ApplicationKey = "VelmoraAlbumDesignerPro";
const char* const PortfolioGenerator::DataPattern = "%s/Data/%s";
const char* const PortfolioGenerator::RootPattern = "%s/%s";

namespace {

// The reason a folder could not be made, naming the folder it was made in.
std::string FolderFailure(const std::string& parent, int error)
{
    return "Failed to create a temporary directory in \"" + parent + "\": " + std::strerror(error) + ".";
}

// Numbers the output folders of the whole run. The first generator takes the
// tick count, every later one the next number; the update is one atomic step
// so that generators made on different threads never draw the same number.
std::atomic<std::uint32_t> folderCounter{0};

std::uint32_t TickCount()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::uint32_t NextFolderNumber()
{
    std::uint32_t current = folderCounter.load();
    std::uint32_t next;
    do {
        next = current == 0 ? TickCount() : current + 1;
        // 0 means "not started yet"; never hand it out.
        if (next == 0)
            next = 1;
    } while (!folderCounter.compare_exchange_weak(current, next));
    return next;
}

std::string FolderName(std::uint32_t number)
{
    char name[16];
    std::snprintf(name, sizeof name, "%08X", number);
    return name;
}

std::string WithoutTrailingSeparator(std::string path)
{
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    return path;
}

} // namespace

std::string PortfolioGenerator::GetWorkingFolder()
{
    return GetRunFolder(ApplicationKey);
}

bool PortfolioGenerator::ForceWorkingFolder()
{
    return !GetWorkingFolder().empty();
}

int PortfolioGenerator::RemoveAbandonedWorkingFolders()
{
    return RemoveAbandonedRunFolders(ApplicationKey);
}

PortfolioGenerator::PortfolioGenerator(Portfolio* portfolio) : portfolio_(portfolio)
{
    const std::string working = GetWorkingFolder();
    if (working.empty())
        throw Exception(FolderFailure(GetTempFolder(), errno));
    // The working folder is this run's own: a number already taken can only
    // be a folder of this run; the bound keeps a broken folder from
    // spinning forever.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string folder = working + FolderName(NextFolderNumber());
        if (::mkdir(folder.c_str(), 0700) == 0) {
            outputFolder_ = folder + "/";
            break;
        }
        if (errno != EEXIST)
            throw Exception(FolderFailure(working, errno));
    }
    if (outputFolder_.empty())
        throw Exception(FolderFailure(working, EEXIST));

    // The user's language, the C library's locale notwithstanding.
    const QLocale locale = QLocale::system();
    const QDate today = QDate::currentDate();
    dateText_ = locale.toString(today, QStringLiteral("d MMMM yyyy")).toStdString();
    yearText_ = locale.toString(today, QStringLiteral("yyyy")).toStdString();
}

PortfolioGenerator::~PortfolioGenerator()
{
    DeleteFolder();
}

bool PortfolioGenerator::Generate()
{
    return false;
}

bool PortfolioGenerator::ShowResult()
{
    return false;
}

void PortfolioGenerator::SetStepCount(int n)
{
    currentStep_ = 0;
    stepMaximum_ = n - 1;
}

void PortfolioGenerator::StepProgress()
{
    if (!sink_)
        return;
    ++currentStep_;
    sink_->SetProgress(currentStep_, stepMaximum_);
}

char* PortfolioGenerator::LoadFromDisk(const std::string& path, std::uint32_t& size)
{
    // Only a regular file: a pipe in place of a file is refused, not waited on.
    struct stat st{};
    const int fd = OpenOnlyRegularFile(path, O_RDONLY, st);
    if (fd < 0)
        return nullptr;
    char* block = nullptr;
    // The size travels as 32 bits and the block needs 8 more.
    if (st.st_size >= 0 && static_cast<std::uint64_t>(st.st_size) <= 0xFFFFFFFFull - 8) {
        const auto length = static_cast<std::size_t>(st.st_size);
        block = static_cast<char*>(std::calloc(length + 8, 1));
        std::size_t done = 0;
        while (block && done < length) {
            const ssize_t n = ::read(fd, block + done, length - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                std::free(block);
                block = nullptr;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (block)
            size = static_cast<std::uint32_t>(length);
    }
    ::close(fd);
    return block;
}

bool PortfolioGenerator::SaveToDisk(const std::string& path, std::string_view text)
{
    if (path.empty())
        return false;
    return SafeWriteFile(path, text.data(), text.size());
}

bool PortfolioGenerator::SaveStreamToFolder(TMemoryStream* stream, const std::string& name,
                                            const std::string& pattern)
{
    if (!stream || name.empty() || outputFolder_.empty())
        return false;
    const std::string file = SafeFileName(name);
    if (file.empty())
        return false;
    // The pattern is filled by hand: the name is data and must never be read
    // as a format.
    std::string path;
    const std::string values[2] = {WithoutTrailingSeparator(outputFolder_), file};
    int used = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (used == 2)
                return false;
            path += values[used++];
            ++i;
        } else {
            path += pattern[i] == '\\' ? '/' : pattern[i];
        }
    }
    if (used != 2)
        return false;
    try {
        const std::size_t size = static_cast<std::size_t>(stream->GetSize());
        return WriteOutputFile(path, stream->Memory(), size);
    } catch (const std::exception& error) {
        return SetErrorText("Failed to write \"" + path + "\": " + error.what());
    }
}

std::string PortfolioGenerator::FailureText() const
{
    return errorText_.empty() ? std::string("Failed to generate the portfolio.") : errorText_;
}

bool PortfolioGenerator::StopRequested()
{
    if (!stopped_ && (stopCheck_ ? stopCheck_() : (sink_ ? sink_->Terminated() : TThread::AllTerminated()))) {
        stopped_ = true;
        SetErrorText("Stopped before the portfolio was complete.");
    }
    return stopped_;
}

bool PortfolioGenerator::SetErrorText(const std::string& text)
{
    errorText_ = text;
    return false;
}

bool PortfolioGenerator::FailOnFile(const std::string& what, const std::string& path)
{
    const int error = errno;
    return SetErrorText(what + " \"" + path + "\": " + std::strerror(error) + ".");
}

int PortfolioGenerator::WriteNewFile(const std::string& path, const void* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n == 0 ? EIO : errno;
            ::close(fd);
            ::unlink(path.c_str());
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    // A full disk can show only when the data is written back at close.
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    return 0;
}

bool PortfolioGenerator::WriteOutputFile(const std::string& path, const void* data, std::size_t size)
{
    const int error = WriteNewFile(path, data, size);
    if (error == 0)
        return true;
    errno = error;
    return FailOnFile("Failed to write", path);
}

bool PortfolioGenerator::DeleteFolder()
{
    try {
        return DeleteFolderTree(WithoutTrailingSeparator(outputFolder_));
    } catch (...) {
        return false;
    }
}
