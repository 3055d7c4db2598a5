#include "tests/support/HttpsTestServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <sstream>

HttpsTestServer::HttpsTestServer(const TestCertificates& certs) : root_(dir_ / "root")
{
    std::filesystem::create_directories(root_);
    peer_ = std::make_unique<PeerProcess>(std::vector<std::string>{
        "/usr/bin/python3", TestSupportScript("https_server.py"), "--root", root_, "--log", dir_ / "requests.log",
        "--cert", certs.serverCert, "--key", certs.serverKey});
}

std::string HttpsTestServer::Url(const std::string& path) const
{
    return "https://127.0.0.1:" + std::to_string(Port()) + "/" + path;
}

void HttpsTestServer::Put(const std::string& name, const std::string& bytes) const
{
    dir_.Write("root/" + name, bytes);
}

std::vector<HttpsTestServer::Request> HttpsTestServer::Requests() const
{
    std::vector<Request> requests;
    std::istringstream lines(ReadFileBytes(dir_ / "requests.log"));
    for (std::string line; std::getline(lines, line);) {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        requests.push_back({o["method"].toString().toStdString(), o["path"].toString().toStdString(),
                            o["agent"].toString().toStdString(), o["cache_control"].toString().toStdString(),
                            o["pragma"].toString().toStdString()});
    }
    return requests;
}
