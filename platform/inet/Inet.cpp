#include "platform/inet/Inet.h"

#include <algorithm>
#include <cstring>
#include <curl/curl.h>
#include <ifaddrs.h>
#include <memory>
#include <mutex>
#include <net/if.h>
#include <strings.h>

struct InternetHandleBase {
    virtual ~InternetHandleBase() = default;
};

namespace {

// A paused transfer holds at most this much read ahead of the caller.
constexpr size_t kReadAhead = 64 * 1024;
constexpr long kPollMs = 100;

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Session : InternetHandleBase {
    std::string agent;
    InternetSessionOptions options;

    bool StopRequested() const { return options.stopRequested && options.stopRequested(); }
};

struct Request : InternetHandleBase {
    Session* session = nullptr;
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};

    std::string pending; // body bytes received and not yet read
    size_t offset = 0;   // how much of pending was read
    bool paused = false;
    long status = 0;     // of the response whose headers are coming in
    bool redirecting = false;
    bool headersDone = false;
    bool done = false;
    CURLcode result = CURLE_OK;

    ~Request() override
    {
        if (multi && easy)
            curl_multi_remove_handle(multi, easy);
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi);
        curl_slist_free_all(headers);
    }

    size_t Available() const { return pending.size() - offset; }

    // Lets the transfer move on once; false when it was stopped.
    bool Pump()
    {
        if (session->StopRequested())
            return false;
        if (paused && Available() == 0) {
            paused = false;
            // May hand the held-back piece to OnWrite at once.
            curl_easy_pause(easy, CURLPAUSE_CONT);
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            done = true;
            result = CURLE_FAILED_INIT;
            return true;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                done = true;
                result = message->data.result;
            }
        }
        if (!done && running > 0 && Available() == 0)
            curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        return true;
    }

    std::string ErrorText() const
    {
        if (status >= 400)
            return "The server answered with status " + std::to_string(status) + ".";
        if (errorText[0])
            return errorText;
        return curl_easy_strerror(result);
    }
};

size_t OnWrite(char* data, size_t size, size_t count, void* user)
{
    auto* r = static_cast<Request*>(user);
    const size_t n = size * count;
    if (r->Available() >= kReadAhead) {
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (r->offset > 0 && r->offset == r->pending.size()) {
        r->pending.clear();
        r->offset = 0;
    }
    r->pending.append(data, n);
    return n;
}

// Tells the final response's headers from those of a redirect or an interim
// "100 Continue", which libcurl hands over on the way.
size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* r = static_cast<Request*>(user);
    const size_t n = size * count;
    const std::string_view line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
        const size_t blank = line.find(' ');
        r->status = blank == std::string_view::npos ? 0 : std::strtol(data + blank + 1, nullptr, 10);
        r->redirecting = false;
    } else if (line.size() > 9 && strncasecmp(data, "Location:", 9) == 0) {
        r->redirecting = r->status >= 300 && r->status < 400;
    } else if (line == "\r\n" || line == "\n") {
        if (r->status >= 200 && !r->redirecting)
            r->headersDone = true;
    }
    return n;
}

} // namespace

bool InternetGetConnectedState(uint32_t* flags, uint32_t)
{
    bool connected = false;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (const ifaddrs* a = list; a; a = a->ifa_next) {
            if ((a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING) && !(a->ifa_flags & IFF_LOOPBACK)) {
                connected = true;
                break;
            }
        }
        freeifaddrs(list);
    }
    if (flags)
        *flags = connected ? INTERNET_CONNECTION_LAN : INTERNET_CONNECTION_OFFLINE;
    return connected;
}

HINTERNET InternetOpen(const std::string& agent, const InternetSessionOptions& options)
{
    GlobalInit();
    // A library without TLS could never open anything we accept.
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (!info || !(info->features & CURL_VERSION_SSL))
        return nullptr;
    auto* session = new Session;
    session->agent = agent;
    session->options = options;
    return session;
}

HINTERNET InternetOpenUrl(HINTERNET handle, const std::string& url, uint32_t flags, std::string* lastError)
{
    auto fail = [&](const std::string& why) -> HINTERNET {
        if (lastError)
            *lastError = why;
        return nullptr;
    };
    auto* session = dynamic_cast<Session*>(handle);
    if (!session)
        return fail("No session.");
    if (session->StopRequested())
        return fail("Stopped.");

    auto request = std::make_unique<Request>();
    request->session = session;
    request->multi = curl_multi_init();
    request->easy = curl_easy_init();
    if (!request->multi || !request->easy)
        return fail("The transfer library could not be set up.");
    CURL* e = request->easy;
    const InternetSessionOptions& o = session->options;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, session->agent.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, static_cast<long>(o.maxRedirects));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!o.caFile.empty()) {
        curl_easy_setopt(e, CURLOPT_CAINFO, o.caFile.c_str());
        curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(o.connectTimeoutMs));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(o.stallSeconds));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, request->errorText);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnWrite);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, request.get());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, request.get());
    if (flags & INTERNET_FLAG_RELOAD) {
        request->headers = curl_slist_append(request->headers, "Cache-Control: no-cache");
        request->headers = curl_slist_append(request->headers, "Pragma: no-cache");
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, request->headers);
    }
    if (curl_multi_add_handle(request->multi, e) != CURLM_OK)
        return fail("The transfer library could not be set up.");

    while (!request->headersDone && !request->done) {
        if (!request->Pump())
            return fail("Stopped.");
    }
    if (request->status >= 400 || (request->done && request->result != CURLE_OK))
        return fail(request->ErrorText());
    return request.release();
}

bool InternetReadFile(HINTERNET handle, void* buffer, uint32_t size, uint32_t* read)
{
    if (read)
        *read = 0;
    auto* request = dynamic_cast<Request*>(handle);
    if (!request || !buffer || !read)
        return false;
    if (request->session->StopRequested())
        return false;
    while (request->Available() == 0 && !request->done) {
        if (!request->Pump())
            return false;
    }
    const size_t n = std::min<size_t>(size, request->Available());
    if (n > 0) {
        std::memcpy(buffer, request->pending.data() + request->offset, n);
        request->offset += n;
        *read = static_cast<uint32_t>(n);
        return true;
    }
    return request->result == CURLE_OK;
}

bool InternetCloseHandle(HINTERNET handle)
{
    if (!handle)
        return false;
    delete handle;
    return true;
}
