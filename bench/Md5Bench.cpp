// Our MD5 of a 256 MiB file side by side with md5sum on the same file, then
// the ratio of the two times. An in-memory run shows the hashing speed alone.
#include <benchmark/benchmark.h>
#include "bench/RatioReporter.h"
#include "bench/WorkFolder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "model/MD5.h"

extern char** environ;

namespace {

constexpr uint64_t kFileSize = uint64_t{256} << 20;
constexpr const char* kOurs = "MD5_DigestFile_256MiB";
constexpr const char* kTheirs = "md5sum_256MiB";

std::string g_file;

void WriteFile(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    std::vector<uint32_t> chunk(1 << 18);
    uint32_t x = 12345;
    for (uint64_t written = 0; written < kFileSize; written += chunk.size() * 4) {
        for (uint32_t& word : chunk) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            word = x;
        }
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size() * 4));
    }
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Runs md5sum on the file; returns its output when wanted.
std::string RunMd5sum(const std::string& path, bool keepOutput)
{
    if (!keepOutput) {
        const char* argv[] = {"md5sum", path.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int rc = posix_spawnp(&pid, "md5sum", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (rc != 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "md5sum failed\n");
            std::exit(1);
        }
        return std::string();
    }
    const std::string command = "md5sum '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char buffer[128] = {};
    if (!pipe || !std::fgets(buffer, sizeof buffer, pipe.get())) {
        std::fprintf(stderr, "md5sum failed\n");
        std::exit(1);
    }
    return buffer;
}

void BM_OurDigestFile(benchmark::State& state)
{
    MD5 md5;
    for (auto _ : state) {
        HashDigest digest = md5.DigestFile(g_file);
        benchmark::DoNotOptimize(digest.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_Md5sum(benchmark::State& state)
{
    for (auto _ : state)
        RunMd5sum(g_file, false);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_OurDigestMemory(benchmark::State& state)
{
    std::vector<uint8_t> data(static_cast<size_t>(state.range(0)));
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 131 + (i >> 8));
    MD5 md5;
    for (auto _ : state) {
        HashDigest digest = md5.Digest(data.data(), data.size());
        benchmark::DoNotOptimize(digest.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}


} // namespace

int main(int argc, char** argv)
{
    WorkFolder folder("velmora-md5-bench");
    g_file = (folder.Path() / "data.bin").string();
    WriteFile(g_file);

    // Both sides must hash the same thing before their times mean anything.
    MD5 md5;
    const std::string ours = md5.ToHex(md5.DigestFile(g_file).get());
    std::string theirs = RunMd5sum(g_file, true).substr(0, 32);
    std::transform(theirs.begin(), theirs.end(), theirs.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (ours != theirs) {
        std::fprintf(stderr, "digests differ: ours %s, md5sum %s\n", ours.c_str(), theirs.c_str());
        return 1;
    }

    benchmark::RegisterBenchmark(kOurs, BM_OurDigestFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
    benchmark::RegisterBenchmark(kTheirs, BM_Md5sum)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
    benchmark::RegisterBenchmark("MD5_Digest_memory", BM_OurDigestMemory)->Arg(4096)->Arg(16 << 20);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double oursMs = reporter.Time(kOurs);
    const double theirsMs = reporter.Time(kTheirs);
    if (oursMs > 0 && theirsMs > 0) {
        std::printf("\nMD5 of a 256 MiB file: ours %.1f ms, md5sum %.1f ms, ratio ours/md5sum %.2f\n",
                    oursMs, theirsMs, oursMs / theirsMs);
    }
    return 0;
}
