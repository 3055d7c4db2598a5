#include "platform/inet/Inet.h"
#include "tests/support/HttpsTestServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

class InetTest : public ::testing::Test {
protected:
    InternetSessionOptions Trusting() const
    {
        InternetSessionOptions o;
        o.caFile = SharedTestCertificates().caFile;
        return o;
    }

    // Reads the whole body in pieces of the given size; false on a failed read.
    static bool ReadAll(HINTERNET request, std::string& body, uint32_t piece = 1024)
    {
        std::string buffer(piece, '\0');
        for (;;) {
            uint32_t read = 0;
            if (!InternetReadFile(request, buffer.data(), piece, &read))
                return false;
            if (read == 0)
                return true;
            body.append(buffer.data(), read);
        }
    }

    HttpsTestServer server_{SharedTestCertificates()};
};

std::string RandomBytes(size_t n)
{
    std::mt19937 random(42);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

TEST_F(InetTest, ReadsTheBodyInPiecesAndAsksPastCaches)
{
    // Larger than the read-ahead, so the transfer is paused and resumed.
    const std::string content = RandomBytes(300 * 1024 + 17);
    server_.Put("big.bin", content);

    HINTERNET session = InternetOpen("Updater/1.0", Trusting());
    ASSERT_NE(session, nullptr);
    std::string error;
    HINTERNET request = InternetOpenUrl(session, server_.Url("big.bin"), INTERNET_FLAG_RELOAD, &error);
    ASSERT_NE(request, nullptr) << error;
    std::string body;
    EXPECT_TRUE(ReadAll(request, body));
    EXPECT_TRUE(body == content) << "got " << body.size() << " bytes of " << content.size();
    // The end stays the end.
    char c;
    uint32_t read = 7;
    EXPECT_TRUE(InternetReadFile(request, &c, 1, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(InternetCloseHandle(request));
    EXPECT_TRUE(InternetCloseHandle(session));

    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].agent, "Updater/1.0");
    EXPECT_EQ(requests[0].cacheControl, "no-cache");
    EXPECT_EQ(requests[0].pragma, "no-cache");
}

TEST_F(InetTest, OpensOnlyTrustedHttpsAnswersWithoutErrorStatus)
{
    server_.Put("file.txt", "content");
    struct Case {
        const char* name;
        std::string url;
        bool trusted;
        bool opens;
    };
    const std::string port = std::to_string(server_.Port());
    const Case cases[] = {
        {"plain file", server_.Url("file.txt"), true, true},
        {"two https redirects", server_.Url("redirect-https/1/file.txt"), true, true},
        {"missing file (404)", server_.Url("missing.txt"), true, false},
        {"redirect to a missing file", server_.Url("redirect-https/0/missing.txt"), true, false},
        {"too many redirects", server_.Url("redirect-https/6/file.txt"), true, false},
        {"redirect to http", server_.Url("redirect-http/file.txt"), true, false},
        {"http address", "http://127.0.0.1:" + port + "/file.txt", true, false},
        {"untrusted certificate", server_.Url("file.txt"), false, false},
        {"nobody listening", "https://127.0.0.1:1/file.txt", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HINTERNET session = InternetOpen("Updater/1.0", c.trusted ? Trusting() : InternetSessionOptions{});
        ASSERT_NE(session, nullptr);
        std::string error;
        HINTERNET request = InternetOpenUrl(session, c.url, INTERNET_FLAG_RELOAD, &error);
        EXPECT_EQ(request != nullptr, c.opens) << error;
        if (request) {
            std::string body;
            EXPECT_TRUE(ReadAll(request, body));
            EXPECT_EQ(body, "content");
            InternetCloseHandle(request);
        } else {
            EXPECT_FALSE(error.empty());
        }
        InternetCloseHandle(session);
    }
}

TEST_F(InetTest, AStalledReadFailsAtTheStallLimitAndAtTheStopRequest)
{
    server_.Put("file.bin", RandomBytes(10000));
    char buffer[1024];
    uint32_t read = 0;
    {
        InternetSessionOptions o = Trusting();
        o.stallSeconds = 1;
        HINTERNET session = InternetOpen("Updater/1.0", o);
        HINTERNET request = InternetOpenUrl(session, server_.Url("stall/1500/file.bin"), INTERNET_FLAG_RELOAD);
        ASSERT_NE(request, nullptr);
        ASSERT_TRUE(InternetReadFile(request, buffer, sizeof buffer, &read));
        EXPECT_EQ(read, 1024u);
        ASSERT_TRUE(InternetReadFile(request, buffer, sizeof buffer, &read));
        EXPECT_EQ(read, 476u);
        EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &read));
        InternetCloseHandle(request);
        InternetCloseHandle(session);
    }
    {
        std::atomic<bool> stop{false};
        InternetSessionOptions o = Trusting();
        o.stopRequested = [&] { return stop.load(); };
        HINTERNET session = InternetOpen("Updater/1.0", o);
        HINTERNET request = InternetOpenUrl(session, server_.Url("stall/10/file.bin"), INTERNET_FLAG_RELOAD);
        ASSERT_NE(request, nullptr);
        ASSERT_TRUE(InternetReadFile(request, buffer, sizeof buffer, &read));
        EXPECT_EQ(read, 10u);
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stop = true;
        });
        // Without the stop this read would wait out the default stall limit
        // of a minute; ctest's own limit catches a read that never ends.
        EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &read));
        EXPECT_TRUE(stop.load());
        stopper.join();
        InternetCloseHandle(request);
        InternetCloseHandle(session);
    }
}

} // namespace
