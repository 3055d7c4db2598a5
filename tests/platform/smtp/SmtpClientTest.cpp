#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/smtp/MimeMessage.h"
#include "platform/smtp/SmtpClient.h"
#include "tests/support/SmtpTestServer.h"
#include "tests/support/TempDir.h"

TEST(SmtpClientTest, ProgressRisesFromZeroToTheSizeReceived)
{
    SmtpTestServer server("plain");
    TempDir dir;
    TMimeMessage m;
    m.FromAddress = "a@example.org";
    m.Recipients = "b@example.org";
    m.Body = "text";
    m.AttachmentPath = dir.Write("big.bin", std::string(3 << 20, 'q'));
    m.Prepare();

    TSmtpClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    client.Send(m, [&](uint64_t sent, uint64_t total) { calls.emplace_back(sent, total); });

    const auto messages = server.WaitForMessages(1);
    ASSERT_EQ(messages.size(), 1u);
    const uint64_t size = messages[0].raw.size();
    EXPECT_EQ(size, m.Size());
    ASSERT_GT(calls.size(), 2u);
    EXPECT_EQ(calls.front(), std::make_pair(uint64_t{0}, size));
    EXPECT_EQ(calls.back(), std::make_pair(size, size));
    for (size_t i = 1; i < calls.size(); ++i) {
        EXPECT_GE(calls[i].first, calls[i - 1].first);
        EXPECT_EQ(calls[i].second, size);
    }
}
