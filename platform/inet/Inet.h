#pragma once
// Opening and reading web addresses, in the shape the updater calls:
// a session (InternetOpen), a request per address (InternetOpenUrl) read in
// pieces (InternetReadFile), and InternetCloseHandle for both.
//
// Only HTTPS is spoken, with the peer's certificate and host name checked,
// for the address and for every redirect; an "http:" address or redirect
// fails the open. A response with a status of 400 or more fails the open too.
// Every request asks caches along the way not to answer it. Reads pull the
// body from the network as they are made: nothing is buffered whole.
#include <cstdint>
#include <functional>
#include <string>

// A handle of either kind; null is no handle.
struct InternetHandleBase;
using HINTERNET = InternetHandleBase*;

struct InternetSessionOptions {
    // A file of trusted certificates in place of the system store (tests).
    std::string caFile;
    // Time for resolving, connecting and the TLS handshake.
    int connectTimeoutMs = 30000;
    // A transfer that receives nothing for this long fails.
    int stallSeconds = 60;
    int maxRedirects = 5;
    // Asked while a request waits for the network; once it answers true the
    // open or read in progress, and every later one, fails.
    std::function<bool()> stopRequested;
};

// Flags of InternetGetConnectedState.
enum : uint32_t { INTERNET_CONNECTION_LAN = 0x02, INTERNET_CONNECTION_OFFLINE = 0x20 };
// The only flag of InternetOpenUrl: never answer from a cache.
enum : uint32_t { INTERNET_FLAG_RELOAD = 0x80000000u };

// True when a network interface other than the loopback is up (flags: LAN);
// false with INTERNET_CONNECTION_OFFLINE otherwise. A hint only: a machine
// can reach a server without such an interface (and the other way round).
bool InternetGetConnectedState(uint32_t* flags, uint32_t reserved);

// A session sending the agent as its User-Agent; null when the transfer
// library cannot be set up.
HINTERNET InternetOpen(const std::string& agent, const InternetSessionOptions& options = {});

// Sends the request and waits for the response's headers (following
// redirects); null when the address is not https, the server cannot be
// reached or trusted, it answers 400 or more, or the session was stopped.
// lastError (when given) receives a short description of why.
HINTERNET InternetOpenUrl(HINTERNET session, const std::string& url, uint32_t flags, std::string* lastError = nullptr);

// Reads up to size bytes of the body into buffer; *read = 0 with true is the
// end of the body. False when the transfer fails, stalls or the session's
// stop request is set.
bool InternetReadFile(HINTERNET request, void* buffer, uint32_t size, uint32_t* read);

// Closes a request or a session (a session after its requests). Null: false.
bool InternetCloseHandle(HINTERNET handle);
