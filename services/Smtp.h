#pragma once
// The account that submits the message itself to an SMTP server, upgrading
// the connection with STARTTLS and logging in where it can. Type name "SMTP";
// the provider presets derive from it.
#include "services/Emailer.h"

class ESmtpError;
class TSmtpClient;

class SMTP : public Emailer {
public:
    SMTP();

    std::unique_ptr<TRegistryIniFile> Load(const std::string& section) override;
    std::unique_ptr<TRegistryIniFile> Save() override;
    // Also derives the server "mail." + domain while no server is set.
    void SetUserName(const std::string& name) override;
    bool Send() override;
    bool TestConnection() override;

    const std::string& GetServerName() const { return serverName_; }
    void SetServerName(const std::string& name) { serverName_ = name; }
    int GetServerPort() const { return serverPort_; }
    void SetServerPort(int port) { serverPort_ = port; }
    int GetSecurityType() const { return securityType_; }
    void SetSecurityType(int type) { securityType_ = type; }
    int GetTimeout() const { return timeout_; }
    // Size in bytes of the message of the send in progress (0 before).
    int GetMessageSize() const { return messageSize_; }

    // The server name of an account whose section has none: a host that
    // never resolves, so a password stored without a server goes nowhere.
    static const char* const PlaceholderServer;

private:
    void PrepareClient(TSmtpClient& client) const;
    // What failed, why and what to try, naming the server and port.
    std::string FailureText(const ESmtpError& error) const;

    std::string serverName_;
    int serverPort_ = 25;
    int timeout_ = 1000;
    int securityType_ = 0;
    int messageSize_ = 0;
};
