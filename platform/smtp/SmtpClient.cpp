#include "platform/smtp/SmtpClient.h"

#include <algorithm>
#include <cerrno>
#include <curl/curl.h>
#include <exception>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "platform/smtp/MimeMessage.h"

namespace {

constexpr int kConnectFloorMs = 15000;
constexpr int kInactivitySeconds = 60;

struct Overrides {
    std::mutex lock;
    std::string caFile;
    int connectFloorMs = 0;
    int inactivitySeconds = 0;
};

Overrides& TestOverrides()
{
    static Overrides o;
    return o;
}

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string LocalHostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0])
        return "localhost";
    return name;
}

// What one transfer learns as it goes, shared with the callbacks.
struct Session {
    SmtpPhase phase = SmtpPhase::Connect;
    bool authSent = false;
    bool needLogin = false;
    bool refusedWithoutLogin = false;
    TMimeMessage* message = nullptr;
    const TSmtpClient::ProgressFunc* progress = nullptr;
    const std::function<bool()>* shouldStop = nullptr;
    bool stopped = false;
    uint64_t sent = 0;
    bool started = false;
    std::exception_ptr readError;

    void Reach(SmtpPhase p)
    {
        if (static_cast<int>(p) > static_cast<int>(phase))
            phase = p;
    }
};

// Follows the commands we send to know the phase. The lines themselves are
// never kept: AUTH lines carry the credentials.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user)
{
    auto* s = static_cast<Session*>(user);
    if (type != CURLINFO_HEADER_OUT)
        return 0;
    const std::string_view line(data, size);
    auto starts = [&](std::string_view word) {
        return line.size() >= word.size() &&
               std::equal(word.begin(), word.end(), line.begin(),
                          [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
    };
    if (starts("STARTTLS"))
        s->Reach(SmtpPhase::Tls);
    else if (starts("AUTH ")) {
        s->authSent = true;
        s->Reach(SmtpPhase::Login);
    } else if (starts("MAIL FROM"))
        s->Reach(SmtpPhase::Transfer);
    return 0;
}

// Runs after the connection is set up (greeting, TLS, login) and before
// MAIL FROM: a server that offered no AUTH has let us through without a
// login, and the message must not go out unauthenticated.
int OnPreRequest(void* user, char*, char*, int, int)
{
    auto* s = static_cast<Session*>(user);
    if (s->needLogin && !s->authSent) {
        s->refusedWithoutLogin = true;
        return CURL_PREREQFUNC_ABORT;
    }
    return CURL_PREREQFUNC_OK;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* s = static_cast<Session*>(user);
    try {
        if (!s->started) {
            s->started = true;
            if (*s->progress)
                (*s->progress)(0, s->message->Size());
        }
        const size_t n = s->message->Read(buffer, size * count);
        s->sent += n;
        if (n && *s->progress)
            (*s->progress)(s->sent, s->message->Size());
        return n;
    } catch (...) {
        s->readError = std::current_exception();
        return CURL_READFUNC_ABORT;
    }
}

// Also called while a silent server keeps us waiting, so a stop is seen
// within about a second whatever the phase.
int OnTransferInfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* s = static_cast<Session*>(user);
    if (*s->shouldStop && (*s->shouldStop)()) {
        s->stopped = true;
        return 1;
    }
    return 0;
}

SmtpPhase PhaseOf(CURLcode code, const Session& s)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return SmtpPhase::Connect;
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
        return SmtpPhase::Tls;
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR:
        return SmtpPhase::Login;
    default:
        return s.phase;
    }
}

struct CurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

} // namespace

void TSmtpClient::SetTestOverrides(const std::string& caFile, int connectFloorMs, int inactivitySeconds)
{
    auto& o = TestOverrides();
    std::lock_guard<std::mutex> guard(o.lock);
    o.caFile = caFile;
    o.connectFloorMs = connectFloorMs;
    o.inactivitySeconds = inactivitySeconds;
}

namespace {

void Run(const TSmtpClient& c, TMimeMessage* message, const TSmtpClient::ProgressFunc& progress)
{
    GlobalInit();
    std::string caFile;
    int floorMs = kConnectFloorMs, inactivity = kInactivitySeconds;
    {
        auto& o = TestOverrides();
        std::lock_guard<std::mutex> guard(o.lock);
        caFile = o.caFile;
        if (o.connectFloorMs > 0)
            floorMs = o.connectFloorMs;
        if (o.inactivitySeconds > 0)
            inactivity = o.inactivitySeconds;
    }

    // Reserved for documentation and tests: it never resolves, so do not ask.
    std::string host = c.Host;
    std::string lower = host;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return std::tolower(ch); });
    while (!lower.empty() && lower.back() == '.')
        lower.pop_back();
    if (host.empty() || lower == "invalid" || (lower.size() > 8 && lower.ends_with(".invalid")))
        throw ESmtpError(SmtpPhase::Connect, "Could not resolve host: " + host);

    std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
    if (!curl)
        throw ESmtpError(SmtpPhase::Connect, "Out of memory.");
    CURL* h = curl.get();

    const bool login = !c.UserName.empty() && !c.Password.empty();
    Session s;
    s.needLogin = login;
    s.message = message;
    s.progress = &progress;
    s.shouldStop = &c.ShouldStop;

    if (host.find(':') != std::string::npos && host.front() != '[')
        host = "[" + host + "]";
    const std::string url = "smtp://" + host + ":" + std::to_string(c.Port) + "/" + LocalHostName();
    char errors[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp");
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(c.TimeoutMs, floorMs)));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(inactivity));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(inactivity));
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &s);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnTransferInfo);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &s);

    switch (c.Security) {
    case SmtpSecurity::None:
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
        break;
    case SmtpSecurity::StartTlsWhenOffered:
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
        break;
    case SmtpSecurity::StartTlsRequired:
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        break;
    }
    curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (!caFile.empty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
    if (login) {
        curl_easy_setopt(h, CURLOPT_USERNAME, c.UserName.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, c.Password.c_str());
        curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    }

    std::unique_ptr<curl_slist, CurlFree> recipients;
    std::string from;
    if (message) {
        from = "<" + message->FromAddress + ">";
        curl_slist* list = nullptr;
        for (const auto& r : message->RecipientAddresses()) {
            curl_slist* next = curl_slist_append(list, ("<" + r + ">").c_str());
            if (!next) {
                curl_slist_free_all(list);
                throw ESmtpError(SmtpPhase::Transfer, "Out of memory.");
            }
            list = next;
        }
        recipients.reset(list);
        curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.c_str());
        curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message->Size()));
        curl_easy_setopt(h, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(h, CURLOPT_READDATA, &s);
        curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, OnPreRequest);
        curl_easy_setopt(h, CURLOPT_PREREQDATA, &s);
        message->Rewind();
    } else {
        curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
    }

    const CURLcode code = curl_easy_perform(h);
    if (s.readError) {
        try {
            std::rethrow_exception(s.readError);
        } catch (const std::exception& e) {
            throw ESmtpError(SmtpPhase::Transfer, e.what());
        }
    }
    if (s.stopped)
        throw ESmtpError(s.phase, "Stopped before the message was sent.", SmtpCause::Stopped);
    if (s.refusedWithoutLogin || (code == CURLE_OK && login && !s.authSent))
        throw ESmtpError(SmtpPhase::Login, "The server offered no login; nothing was sent.");
    if (code != CURLE_OK) {
        const SmtpPhase phase = PhaseOf(code, s);
        curl_off_t connectedAfter = 0;
        curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connectedAfter);
        long osError = 0;
        curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &osError);
        SmtpCause cause = SmtpCause::Other;
        int seconds = 0;
        switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            cause = SmtpCause::HostNotFound;
            break;
        case CURLE_COULDNT_CONNECT:
            cause = osError == ECONNREFUSED ? SmtpCause::Refused : SmtpCause::NotReached;
            break;
        case CURLE_OPERATION_TIMEDOUT:
            cause = connectedAfter > 0 ? SmtpCause::NoAnswer : SmtpCause::NotReached;
            // The connect limit covers the greeting, TLS and login as well.
            seconds = phase == SmtpPhase::Transfer ? inactivity : std::max(c.TimeoutMs, floorMs) / 1000;
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
            cause = SmtpCause::Untrusted;
            break;
        default:
            break;
        }
        throw ESmtpError(phase, errors[0] ? errors : curl_easy_strerror(code), cause, seconds);
    }
    if (message && progress)
        progress(message->Size(), message->Size());
}

} // namespace

void TSmtpClient::ConnectAndLogin()
{
    Run(*this, nullptr, {});
}

void TSmtpClient::Send(TMimeMessage& message, const ProgressFunc& progress)
{
    Run(*this, &message, progress);
}
