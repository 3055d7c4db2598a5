// Sends one message with an attachment through the program's SMTP client,
// for bench/smtp_vs_curl.sh. With --dump FILE it writes the message it would
// send to FILE instead (the same bytes for curl to upload).
// Usage: smtp_send_tool PORT ATTACHMENT [--dump FILE]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/smtp/MimeMessage.h"
#include "platform/smtp/SmtpClient.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PORT ATTACHMENT [--dump FILE]\n", argv[0]);
        return 2;
    }
    try {
        TMimeMessage message;
        message.Subject = "Benchmark";
        message.Body = "A large attachment.\n";
        message.FromAddress = "bench@example.org";
        message.Recipients = "sink@example.org";
        message.AttachmentPath = argv[2];
        message.Prepare();

        if (argc >= 5 && std::strcmp(argv[3], "--dump") == 0) {
            FILE* out = std::fopen(argv[4], "wb");
            if (!out)
                return 1;
            char buffer[1 << 16];
            while (const size_t n = message.Read(buffer, sizeof buffer))
                std::fwrite(buffer, 1, n, out);
            return std::fclose(out) == 0 ? 0 : 1;
        }

        TSmtpClient client;
        client.Host = "127.0.0.1";
        client.Port = std::atoi(argv[1]);
        const auto start = std::chrono::steady_clock::now();
        client.Send(message);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("sent %llu bytes in %.2f s\n", static_cast<unsigned long long>(message.Size()), took.count());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
