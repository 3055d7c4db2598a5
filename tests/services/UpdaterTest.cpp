#include "model/Options.h"
#include "services/UpdateThread.h"
#include "services/Updater.h"
#include "tests/services/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace updatetest;

namespace {

const char kProduct[] = "VelmoraAlbumDesignerPro";

// A job that is never started: it only records what the download tells it.
class RecordingJob : public UpdateThread {
public:
    RecordingJob() : UpdateThread(true, true) {}
    struct Report {
        std::string text;
        int position, maximum;
    };
    std::vector<Report> reports;

    void SetStatusAndProgress(const std::string& text, int position, int maximum) override
    {
        reports.push_back({text, position, maximum});
    }

protected:
    void Execute() override {}
};

bool WaitUntil(const std::function<bool()>& condition, int seconds = 60)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Updater::SetTestOverrides("", SharedTestCertificates().caFile, 0);
        // The install steps as a normal user meets them; the tests run as root.
        Updater::SetTestRootRuleOff(true);
        ClearDownloadArea();
    }
    void TearDown() override
    {
        Updater::SetTestOverrides("", "", 0);
        Updater::SetTestRootRuleOff(false);
    }

    Updater MakeUpdater() const { return Updater(server_.Url("update2.xml"), kProduct, 2, 0); }

    // Serves the files and a description offering 2.1 with them.
    void Offer(const std::vector<File>& files, bool restart = false, const std::string& downloadUrl = "")
    {
        for (const File& f : files)
            server_.Put(f.name, f.bytes);
        server_.Put("update2.xml", Description(Product(kProduct, "2", "1", downloadUrl.empty() ? server_.Url("") : downloadUrl,
                                                       files, restart)));
    }

    HttpsTestServer server_{SharedTestCertificates()};
    TempDir dir_;
};

TEST_F(UpdaterTest, TheDescriptionDecidesWhetherAnUpdateIsOffered)
{
    const std::string url = "https://example.invalid/";
    const std::vector<File> one = {{"setup.run", "#!/bin/sh\n"}};
    struct Case {
        const char* what;
        std::string description;
        bool checked;
        bool available;
        std::string error;
        size_t files;
    };
    const Case cases[] = {
        {"3.0 to a running 2.0", Description(Product(kProduct, "3", "0", url, one)), true, false, "", 1},
        {"2.1", Description(Product(kProduct, "2", "1", url, one)), true, true, "", 1},
        {"2.0", Description(Product(kProduct, "2", "0", url, one)), true, false, "", 1},
        {"blanks around the numbers", Description(Product(kProduct, " 2 ", "\n12\n", url, one)), true, true, "", 1},
        {"first matching product only",
         Description("<Note/>" + Product("OtherProduct", "2", "9", url, one) + Product(kProduct, "2", "0", url, one) +
                     Product(kProduct, "2", "1", url, one)),
         true, false, "", 1},
        {"the name differs in case", Description(Product("velmoraalbumdesignerpro", "2", "1", url, one)), false, false,
         "Failed to read the remote update file.", 0},
        {"no DownloadFile", Description(Product(kProduct, "2", "1", url, {})), false, false,
         "This product has no download files set.", 0},
        {"no Update element", "<Updates>" + Product(kProduct, "2", "1", url, one) + "</Updates>", false, false,
         "Failed to read the remote update file.", 0},
        {"malformed XML", "<Update><Product Name=\"VelmoraAlbumDesignerPro\">", false, false,
         "Failed to parse the update file.", 0},
        {"non-integer version", Description(Product(kProduct, "2", "1a", url, one)), false, false,
         "Failed to parse the update file.", 0},
        {"missing version", Description(Product(kProduct, "2", "", url, one)), false, false,
         "Failed to parse the update file.", 0},
        {"non-integer size", Description(Product(kProduct, "2", "1", url, {{"a.run", "x", "", "auto", "1.5"}})), false,
         false, "Failed to parse the update file.", 0},
        {"no Hash", Description(Product(kProduct, "2", "1", url, {{"a.run", "x", "", "none"}})), false, false,
         "Failed to parse the update file.", 0},
        {"no Size", Description(Product(kProduct, "2", "1", url, {{"a.run", "x", "", "auto", "none"}})), false, false,
         "Failed to parse the update file.", 0},
        {"negative Size", Description(Product(kProduct, "2", "1", url, {{"a.run", "x", "", "auto", "-1"}})), false,
         false, "Failed to parse the update file.", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server_.Put("update2.xml", c.description);
        Updater updater = MakeUpdater();
        EXPECT_EQ(updater.CheckForUpdates(), c.checked);
        EXPECT_EQ(updater.GetError(), c.error);
        EXPECT_EQ(updater.IsUpdateAvailable(), c.available);
        EXPECT_EQ(updater.Downloads().size(), c.files);
    }
}

TEST_F(UpdaterTest, FileNamesThatCouldLeaveTheFolderOrTheAddressAreRefused)
{
    for (const char* name : {"", ".", "..", "../x", "a/b", "a\\b", "bad\tname", "bad\x7fname"}) {
        SCOPED_TRACE(name);
        server_.Put("update2.xml", Description(Product(kProduct, "2", "1", server_.Url(""), {{name, "x"}})));
        Updater updater = MakeUpdater();
        EXPECT_FALSE(updater.CheckForUpdates());
        EXPECT_EQ(updater.GetError(), "Failed to parse the update file.");
        EXPECT_FALSE(updater.IsUpdateAvailable());
    }
}

TEST_F(UpdaterTest, TheDescriptionIsFetchedFreshOverTrustedHttpsOnly)
{
    server_.Put("update2.xml", Description(Product(kProduct, "2", "1", server_.Url(""), {{"a.run", "x"}})));
    {
        Updater updater = MakeUpdater();
        EXPECT_TRUE(updater.CheckForUpdates()) << updater.GetError();
    }
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/update2.xml");
    EXPECT_EQ(requests[0].agent, "Updater/1.0");
    EXPECT_EQ(requests[0].cacheControl, "no-cache");

    struct Case {
        const char* what;
        std::string url;
        std::string caFile;
    };
    const std::string http = "http://127.0.0.1:" + std::to_string(server_.Port()) + "/update2.xml";
    const Case cases[] = {
        {"missing (404)", server_.Url("nothing.xml"), SharedTestCertificates().caFile},
        {"an http address", http, SharedTestCertificates().caFile},
        {"a redirect to http", server_.Url("redirect-http/update2.xml"), SharedTestCertificates().caFile},
        {"an untrusted certificate", server_.Url("update2.xml"), ""},
        {"no address (no update host built in)", "", SharedTestCertificates().caFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Updater::SetTestOverrides("", c.caFile, 0);
        Updater updater(c.url, kProduct, 2, 0);
        EXPECT_FALSE(updater.CheckForUpdates());
        EXPECT_EQ(updater.GetError(), "Failed to connect to the update server.");
    }
    // A redirect over https is followed.
    Updater::SetTestOverrides("", SharedTestCertificates().caFile, 0);
    Updater redirected(server_.Url("redirect-https/1/update2.xml"), kProduct, 2, 0);
    EXPECT_TRUE(redirected.CheckForUpdates()) << redirected.GetError();
}

TEST_F(UpdaterTest, AnOversizedDescriptionIsNotReadToItsEnd)
{
    std::string huge = Description(Product(kProduct, "2", "1", server_.Url(""), {{"a.run", "x"}}));
    huge.insert(huge.find("<Update>") + 8, "<Padding>" + std::string(1024 * 1024, 'p') + "</Padding>");
    server_.Put("update2.xml", huge);
    Updater updater = MakeUpdater();
    EXPECT_FALSE(updater.CheckForUpdates());
    EXPECT_EQ(updater.GetError(), "Failed to read the remote update file.");
}

TEST_F(UpdaterTest, DownloadsIntoAPrivateFolderWithProgressUpToTheSize)
{
    const std::string big(5000, 'b');
    Offer({{"first.run", "#!/bin/sh\nexit 0\n"}, {"second part.bin", big}});
    Updater updater = MakeUpdater();
    ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
    RecordingJob job;
    ASSERT_TRUE(updater.DownloadAll(&job)) << updater.GetError();

    const auto& downloads = updater.Downloads();
    ASSERT_EQ(downloads.size(), 2u);
    EXPECT_EQ(ReadFileBytes(downloads[0]->LocalPath), "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(ReadFileBytes(downloads[1]->LocalPath), big);
    // One fresh folder of our own under the cache folder.
    const std::filesystem::path folder = std::filesystem::path(downloads[0]->LocalPath).parent_path();
    EXPECT_EQ(folder.parent_path(), DownloadArea());
    EXPECT_EQ(std::filesystem::path(downloads[1]->LocalPath).parent_path(), folder);
    struct stat st{};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The name went into the address percent-encoded.
    bool sawEncoded = false;
    for (const auto& r : server_.Requests())
        sawEncoded |= r.path == "/second%20part.bin";
    EXPECT_TRUE(sawEncoded);

    // Per file: its status, never falling, ending at its size of its size.
    for (const auto& file : downloads) {
        SCOPED_TRACE(file->Name);
        int last = -1;
        std::vector<RecordingJob::Report> mine;
        for (const auto& r : job.reports)
            if (r.text == "Downloading: " + file->Name)
                mine.push_back(r);
        ASSERT_FALSE(mine.empty());
        for (const auto& r : mine) {
            EXPECT_EQ(r.maximum, file->Size);
            EXPECT_GE(r.position, last);
            last = r.position;
        }
        EXPECT_EQ(mine.back().position, file->Size);
    }
    // Pieces of 1024 bytes, each reported, and the end: 1 + 1 and 5 + 1.
    EXPECT_EQ(job.reports.size(), 8u);
}

TEST_F(UpdaterTest, AChecksumInEitherCaseOfHexDigitsIsAccepted)
{
    const std::string content = "#!/bin/sh\nexit 0\n";
    const std::string upper = Md5Hex(content);
    const std::string lower = QString::fromStdString(upper).toLower().toStdString();
    ASSERT_NE(lower, upper);
    std::string mixed = upper;
    for (size_t i = 0; i < mixed.size(); i += 2)
        mixed[i] = lower[i];
    for (const std::string& hash : {lower, mixed}) {
        SCOPED_TRACE(hash);
        ClearDownloadArea();
        server_.Put("f.run", content);
        server_.Put("update2.xml", Description(Product(kProduct, "2", "1", server_.Url(""), {{"f.run", content, "", hash}})));
        Updater updater = MakeUpdater();
        ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
        ASSERT_TRUE(updater.DownloadAll(nullptr)) << updater.GetError();
        ASSERT_EQ(updater.Downloads().size(), 1u);
        EXPECT_EQ(ReadFileBytes(updater.Downloads()[0]->LocalPath), content);
    }
}

TEST_F(UpdaterTest, AFileThatFailsIsDeleted)
{
    const std::string content = "#!/bin/sh\nexit 0\n";
    struct Case {
        const char* what;
        File file;
        std::string downloadUrl; // empty: the server's root
        std::string error;
    };
    const std::string http = "http://127.0.0.1:" + std::to_string(server_.Port()) + "/";
    const Case cases[] = {
        {"a wrong hash", {"f.run", content, "", Md5Hex("other")}, "", "Failed to verify the file's checksum."},
        {"zero bytes", {"f.run", ""}, "", "Failed to compute the file's checksum."},
        {"more bytes than its size", {"f.run", content, "", "auto", "5"}, "", "Failed to verify the file's checksum."},
        {"a server that never stops sending", {"f.run", content}, server_.Url("endless/"),
         "Failed to verify the file's checksum."},
        {"missing on the server (404)", {"f.run", content}, server_.Url("missing/"),
         "Could not connect to the update server."},
        {"an http address", {"f.run", content}, http, "Could not connect to the update server."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearDownloadArea();
        server_.Put(c.file.name, c.file.bytes);
        const std::string base = c.downloadUrl.empty() ? server_.Url("") : c.downloadUrl;
        server_.Put("update2.xml", Description(Product(kProduct, "2", "1", base, {c.file})));
        Updater updater = MakeUpdater();
        ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
        EXPECT_FALSE(updater.DownloadAll(nullptr));
        EXPECT_EQ(updater.GetError(), c.error);
        EXPECT_EQ(FilesInDownloadArea(), std::vector<std::string>{});
        // Nothing unfetched ever runs.
        EXPECT_FALSE(updater.ApplyUpdates());
    }
}

TEST_F(UpdaterTest, AFailureAfterAGoodFileLeavesNothing)
{
    server_.Put("good.run", "#!/bin/sh\ntouch \"$0.ran\"\n");
    server_.Put("update2.xml",
                Description(Product(kProduct, "2", "1", server_.Url(""),
                                    {{"good.run", "#!/bin/sh\ntouch \"$0.ran\"\n"}, {"gone.run", "x"}})));
    Updater updater = MakeUpdater();
    ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
    EXPECT_FALSE(updater.DownloadAll(nullptr));
    EXPECT_EQ(updater.GetError(), "Could not connect to the update server.");
    EXPECT_EQ(FilesInDownloadArea(), std::vector<std::string>{});
    EXPECT_FALSE(updater.ApplyUpdates());
    EXPECT_EQ(updater.GetError(), "Failed to execute the file: good.run");
}

TEST_F(UpdaterTest, NoPrivateFolderNoDownload)
{
    Offer({{"a.run", "#!/bin/sh\n"}});
    Updater updater = MakeUpdater();
    ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
    // A cache folder that is a file: nothing can be made under it.
    const std::string saved = std::getenv("XDG_CACHE_HOME");
    setenv("XDG_CACHE_HOME", dir_.Write("not-a-folder", "x").c_str(), 1);
    const bool downloaded = updater.DownloadAll(nullptr);
    setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    EXPECT_FALSE(downloaded);
    EXPECT_EQ(updater.GetError(), "Failed to determine the temporary folder.");
    EXPECT_EQ(server_.Requests().size(), 1u); // the description only
}

TEST_F(UpdaterTest, AStalledDownloadFailsAtTheStallLimitAndLeavesNoPartialFile)
{
    Updater::SetTestOverrides("", SharedTestCertificates().caFile, 1);
    const std::string content(3000, 's');
    server_.Put("f.bin", content);
    server_.Put("update2.xml", Description(Product(kProduct, "2", "1", server_.Url("stall/1000/"), {{"f.bin", content}})));
    Updater updater = MakeUpdater();
    ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
    RecordingJob job;
    EXPECT_FALSE(updater.DownloadAll(&job));
    EXPECT_EQ(updater.GetError(), "Could not connect to the update server.");
    ASSERT_FALSE(job.reports.empty());
    EXPECT_EQ(job.reports.back().position, 1000);
    EXPECT_EQ(FilesInDownloadArea(), std::vector<std::string>{});
}

TEST_F(UpdaterTest, InstallersRunInOrderWithTheirArgumentsAndAFailureStopsTheRun)
{
    const std::string record = dir_ / "argv";
    const std::string second = dir_ / "second-ran";
    // Records its arguments one per line.
    const std::string recorder = "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n";
    const std::string marker = "#!/bin/sh\ntouch '" + second + "'\n";
    Offer({{"install.run", recorder, "--to \"%APP%\" --again=%APP%x \"two words\" $HOME `x`"},
           {"after.run", marker}});
    {
        Updater updater = MakeUpdater();
        ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
        ASSERT_TRUE(updater.DownloadAll(nullptr)) << updater.GetError();
        ASSERT_TRUE(updater.ApplyUpdates()) << updater.GetError();
        const std::string app = Options::Instance()->GetInstallFolder();
        ASSERT_FALSE(app.empty());
        EXPECT_EQ(ReadFileBytes(record), updater.Downloads()[0]->LocalPath + "\n--to\n" + app + "\n--again=" + app +
                                             "x\ntwo words\n$HOME\n`x`\n");
        EXPECT_TRUE(std::filesystem::exists(second));
    }

    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case failures[] = {
        {"exits with 3", "#!/bin/sh\nexit 3\n"},
        {"cannot run (no #!)", "exit 0\n"},
        {"killed by a signal", "#!/bin/sh\nkill -9 $$\n"},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(second);
        Offer({{"broken.run", c.bytes}, {"after.run", marker}});
        Updater updater = MakeUpdater();
        ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
        ASSERT_TRUE(updater.DownloadAll(nullptr)) << updater.GetError();
        EXPECT_FALSE(updater.ApplyUpdates());
        EXPECT_EQ(updater.GetError(), "Failed to execute the file: broken.run");
        EXPECT_FALSE(std::filesystem::exists(second));
    }
}

TEST_F(UpdaterTest, AsRootNoDownloadedInstallerRuns)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    Updater::SetTestRootRuleOff(false);
    const std::string ran = dir_ / "ran";
    for (bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "restart" : "no restart");
        Offer({{"install.run", "#!/bin/sh\ntouch '" + ran + "'\n"}}, restart);
        Updater updater = MakeUpdater();
        ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
        ASSERT_TRUE(updater.DownloadAll(nullptr)) << updater.GetError();
        EXPECT_FALSE(updater.ApplyUpdates());
        EXPECT_EQ(updater.GetError(), Updater::RootRefusal());
    }
    // A restart installer would have been started detached: give it time.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(std::filesystem::exists(ran));
}

TEST_F(UpdaterTest, ARestartInstallerRunsInItsOwnSessionAndOutlivesTheApply)
{
    const std::string release = dir_ / "release";
    const std::string out = dir_ / "session";
    const std::string installer = "#!/bin/sh\nwhile [ ! -e '" + release + "' ]; do sleep 0.05; done\n"
                                  "echo $$ $(cut -d' ' -f6 /proc/$$/stat) > '" + out + ".tmp'; mv '" + out + ".tmp' '" +
                                  out + "'\n";
    Offer({{"restart.run", installer}}, true);
    Updater updater = MakeUpdater();
    ASSERT_TRUE(updater.CheckForUpdates()) << updater.GetError();
    EXPECT_TRUE(updater.NeedsRestart());
    ASSERT_TRUE(updater.DownloadAll(nullptr)) << updater.GetError();
    // Returns while the installer still waits for its release.
    ASSERT_TRUE(updater.ApplyUpdates()) << updater.GetError();
    EXPECT_FALSE(std::filesystem::exists(out));

    ASSERT_EQ(RunCommand("touch '" + release + "'"), 0);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(out); }));
    int pid = 0, session = 0;
    ASSERT_EQ(std::sscanf(ReadFileBytes(out).c_str(), "%d %d", &pid, &session), 2);
    EXPECT_EQ(session, pid);
    EXPECT_NE(session, ::getsid(0));
}

} // namespace
