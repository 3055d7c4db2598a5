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

// What went wrong, as far as the connection tells, for a message in the
// user's words.
enum class SmtpCause {
    Other,        // the library's text says
    HostNotFound, // the server's name does not resolve
    Refused,      // nothing takes connections on the port
    NotReached,   // no connection was made (within Seconds(), when not 0)
    NoAnswer,     // connected, but the server said nothing within Seconds()
    Untrusted,    // the server's certificate is not trusted
    Stopped,      // ShouldStop held
};

class ESmtpError : public Exception {
public:
    ESmtpError(SmtpPhase phase, const std::string& message, SmtpCause cause = SmtpCause::Other, int seconds = 0)
        : Exception(message), phase_(phase), cause_(cause), seconds_(seconds)
    {
    }
    SmtpPhase Phase() const { return phase_; }
    SmtpCause Cause() const { return cause_; }
    // The time limit that ran out, for NotReached and NoAnswer; 0 when none did.
    int Seconds() const { return seconds_; }

private:
    SmtpPhase phase_;
    SmtpCause cause_;
    int seconds_;
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
    // Asked about once a second while connected and on every progress;
    // once it holds, the connection is dropped and ESmtpError raised.
    std::function<bool()> ShouldStop;

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
