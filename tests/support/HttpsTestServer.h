#pragma once
// Starts tests/support/https_server.py on 127.0.0.1 with a certificate of
// the test CA: it serves the files put into its folder, logs every request
// it gets, and on special paths redirects, answers without end or stalls
// (see the script).
#include <memory>
#include <string>
#include <vector>

#include "tests/support/PeerProcess.h"
#include "tests/support/SmtpTestServer.h"
#include "tests/support/TempDir.h"

class HttpsTestServer {
public:
    struct Request {
        std::string method, path, agent, cacheControl, pragma;
    };

    explicit HttpsTestServer(const TestCertificates& certs);

    int Port() const { return peer_->Port(); }
    // "https://127.0.0.1:<port>/" + path.
    std::string Url(const std::string& path) const;
    // Serves bytes at "/" + name from now on.
    void Put(const std::string& name, const std::string& bytes) const;
    // Every request so far, in arrival order.
    std::vector<Request> Requests() const;
    void Stop() { peer_->Stop(); }

private:
    TempDir dir_;
    std::string root_;
    std::unique_ptr<PeerProcess> peer_;
};
