// A command-line front of the archiver, and of libzip, for side-by-side
// timing on disk with other programs (bench/archiver_vs_tools.sh):
//   archiver_tool [--libzip] [--aes256] create ARCHIVE FOLDER [PASSWORD]
//   archiver_tool [--libzip] extract ARCHIVE FOLDER [PASSWORD]
//   --workers=N gives our archiver N workers (default: the machine's).
// Items are deflated at level 1; with a password they get the classic PKWARE
// cipher, or AES-256 with --aes256. Both engines read and write files on disk.
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "zip/TZAWorkerPool.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

namespace fs = std::filesystem;

namespace {

struct TJob {
    bool libzip = false;
    bool aes = false;
    std::string command, archive, folder, password;
};

void RunOurs(const TJob& job)
{
    TZipArchiver a;
    a.FileName = W(job.archive);
    if (!job.password.empty())
        a.SetPassword(job.password);
    if (job.aes)
        a.EncryptionMethod = caAES_256;
    a.SetCompressionLevel(clFastest);
    if (job.command == "create") {
        a.BaseDir = W(job.folder);
        a.OpenArchive(0xFFFF);
        a.BeginUpdate();
        for (const auto& e : fs::recursive_directory_iterator(job.folder))
            if (e.is_regular_file())
                a.AddFile(W(e.path().string()));
        a.EndUpdate();
    } else {
        a.OpenArchive(0);
        a.ExtractFiles(u"*", W(job.folder));
    }
    a.CloseArchive();
}

void CreateLibzip(const TJob& job)
{
    int error = 0;
    zip_t* z = zip_open(job.archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        throw std::runtime_error("cannot create " + job.archive);
    for (const auto& e : fs::recursive_directory_iterator(job.folder)) {
        if (!e.is_regular_file())
            continue;
        zip_source_t* src = zip_source_file(z, e.path().c_str(), 0, -1);
        const std::string name = fs::relative(e.path(), job.folder).generic_string();
        const zip_int64_t index = src ? zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0)
            throw std::runtime_error(zip_strerror(z));
        zip_set_file_compression(z, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
        if (!job.password.empty())
            zip_file_set_encryption(z, zip_uint64_t(index), job.aes ? ZIP_EM_AES_256 : ZIP_EM_TRAD_PKWARE,
                                    job.password.c_str());
    }
    if (zip_close(z) != 0)
        throw std::runtime_error(zip_strerror(z));
}

void ExtractLibzip(const TJob& job)
{
    int error = 0;
    zip_t* z = zip_open(job.archive.c_str(), ZIP_RDONLY, &error);
    if (!z)
        throw std::runtime_error("cannot open " + job.archive);
    if (!job.password.empty())
        zip_set_default_password(z, job.password.c_str());
    std::vector<char> buffer(1 << 16);
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const std::string name = zip_get_name(z, zip_uint64_t(i), 0);
        const fs::path target = fs::path(job.folder) / name;
        if (name.find("..") != std::string::npos)
            throw std::runtime_error("unsafe item name " + name);
        if (name.ends_with('/')) {
            fs::create_directories(target);
            continue;
        }
        fs::create_directories(target.parent_path());
        zip_file_t* in = zip_fopen_index(z, zip_uint64_t(i), 0);
        std::FILE* out = in ? std::fopen(target.c_str(), "wb") : nullptr;
        if (!out)
            throw std::runtime_error("cannot extract " + name);
        zip_int64_t got;
        while ((got = zip_fread(in, buffer.data(), buffer.size())) > 0)
            std::fwrite(buffer.data(), 1, size_t(got), out);
        const bool failed = got < 0 || std::fclose(out) != 0;
        zip_fclose(in);
        if (failed)
            throw std::runtime_error("cannot extract " + name);
    }
    zip_discard(z);
}

} // namespace

int main(int argc, char** argv)
{
    TJob job;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--libzip")
            job.libzip = true;
        else if (arg == "--aes256")
            job.aes = true;
        else if (arg.rfind("--workers=", 0) == 0)
            SetDefaultArchiverWorkers(std::atoi(arg.c_str() + 10));
        else
            args.push_back(arg);
    }
    if (args.size() < 3 || (args[0] != "create" && args[0] != "extract")) {
        std::fprintf(stderr, "usage: %s [--libzip] [--aes256] create|extract ARCHIVE FOLDER [PASSWORD]\n", argv[0]);
        return 2;
    }
    job.command = args[0];
    try {
        job.archive = fs::absolute(args[1]).string();
        job.folder = fs::absolute(args[2]).string();
        if (args.size() > 3)
            job.password = args[3];
        if (!job.libzip)
            RunOurs(job);
        else if (job.command == "create")
            CreateLibzip(job);
        else
            ExtractLibzip(job);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
