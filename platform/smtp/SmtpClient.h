#pragma once
// SMTP submission over libcurl: connect, optional STARTTLS, login with AUTH
// LOGIN, and sending one TMimeMessage. Every failure raises ESmtpError with
// the library's text and the phase it happened in.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/rtl/Exception.h"

class TMimeMessage;

enum class SmtpPhase { Connect, Tls, Login, Transfer };

class ESmtpError : public Exception {
public:
    ESmtpError(SmtpPhase phase, const std::string& message) : Exception(message), phase_(phase) {}
    SmtpPhase Phase() const { return phase_; }

private:
    SmtpPhase phase_;
};

enum class SmtpSecurity {
    None,               // plain connection throughout
    StartTlsWhenOffered,// upgrade when the server offers STARTTLS, else plain
    StartTlsRequired,   // fail unless the server upgrades
};

class TSmtpClient {
public:
    std::string Host;
    int Port = 25;
    // Both non-empty: log in with AUTH LOGIN, and fail when the server
    // never lets that happen (no AUTH offered). Otherwise no login.
    std::string UserName;
    std::string Password;
    SmtpSecurity Security = SmtpSecurity::None;
    // Time for connecting, greeting, TLS and login together; never less than
    // the floor (15 s), since slow greetings are common.
    int TimeoutMs = 1000;

    // Called with (bytes handed out, message size): (0, size) first,
    // never falling, (size, size) last.
    using ProgressFunc = std::function<void(uint64_t sent, uint64_t total)>;

    // Connects and logs in, sends nothing.
    void ConnectAndLogin();
    // Sends a prepared message from its FromAddress to its recipients.
    void Send(TMimeMessage& message, const ProgressFunc& progress = {});

    // For tests only: a CA file trusted in place of the system store, the
    // floor of the connect time limit and the inactivity limit of later
    // replies and writes. An empty CA file and zeros restore the defaults.
    static void SetTestOverrides(const std::string& caFile, int connectFloorMs, int inactivitySeconds);
};
