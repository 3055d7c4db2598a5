#include "services/Smtp.h"

#include <climits>

#include "output/ProgressThread.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/smtp/MimeMessage.h"
#include "platform/smtp/SmtpClient.h"

const char* const SMTP::PlaceholderServer = "mail.unconfigured.invalid";

namespace {

const char kAuthenticateFailed[] = "Authenticate failed.";
const char kConnectFailed[] = "Failed to connect, please check your server setting.";
const char kLoginFailed[] =
    "Authentication failed, please check your username, password and the secure connection type.";

} // namespace

SMTP::SMTP()
{
    typeName_ = "SMTP";
    usesComposeForm_ = true;
}

void SMTP::SetUserName(const std::string& name)
{
    Emailer::SetUserName(name);
    if (serverName_.empty())
        serverName_ = "mail." + GetDomain();
}

std::unique_ptr<TRegistryIniFile> SMTP::Load(const std::string& section)
{
    auto store = Emailer::Load(section);
    // Stored values override a preset's; a value missing from the section
    // keeps what the account was made with (a preset's server, port and
    // security, or the generic defaults). A generic account without a server
    // gets the placeholder.
    const bool generic = GetTypeName() == "SMTP";
    serverName_ = store->ReadString(section, "ServerName", generic ? PlaceholderServer : serverName_);
    serverPort_ = store->ReadInteger(section, "ServerPort", serverPort_);
    timeout_ = store->ReadInteger(section, "Timeout", timeout_);
    securityType_ = store->ReadInteger(section, "SecurityType", securityType_);
    if (generic)
        return nullptr;
    return store;
}

std::unique_ptr<TRegistryIniFile> SMTP::Save()
{
    if (serverName_.empty())
        serverName_ = "mail." + GetDomain();
    auto store = Emailer::Save();
    if (!store)
        return nullptr;
    const std::string section = Section();
    store->WriteString(section, "ServerName", serverName_);
    store->WriteInteger(section, "ServerPort", serverPort_);
    store->WriteInteger(section, "Timeout", timeout_);
    store->WriteInteger(section, "SecurityType", securityType_);
    if (GetTypeName() == "SMTP")
        return nullptr;
    return store;
}

void SMTP::PrepareClient(TSmtpClient& client) const
{
    client.Host = serverName_;
    client.Port = serverPort_;
    client.TimeoutMs = timeout_;
    const bool login = !GetUserName().empty() && !GetPassword().empty();
    if (login) {
        client.UserName = GetUserName();
        client.Password = GetPassword();
    }
    // Every non-zero type upgrades (TLS 1.2 or later; the old protocol
    // methods are gone). Without a secured type, credentials still go over
    // TLS wherever the server offers it.
    if (securityType_ != 0)
        client.Security = SmtpSecurity::StartTlsRequired;
    else
        client.Security = login ? SmtpSecurity::StartTlsWhenOffered : SmtpSecurity::None;
}

bool SMTP::Send()
{
    messageSize_ = 0;
    SetText("");
    try {
        TMimeMessage message;
        message.Subject = GetSubject();
        message.Body = GetBody();
        message.FromAddress = GetFromAddress();
        message.Recipients = GetRecipient();
        message.AttachmentPath = GetAttachment();
        message.Prepare();

        TSmtpClient client;
        PrepareClient(client);
        // The progress bar counts in ints: scale a message above 2 GiB down.
        const uint64_t size = message.Size();
        const uint64_t scale = size / INT_MAX + 1;
        messageSize_ = static_cast<int>(size / scale);
        TSmtpClient::ProgressFunc progress;
        if (ProgressThread* sink = progressSink_) {
            progress = [sink, scale](uint64_t sent, uint64_t total) {
                sink->SetProgress(static_cast<int>(sent / scale), static_cast<int>(total / scale));
            };
        }
        client.Send(message, progress);
        return true;
    } catch (const ESmtpError& e) {
        SetText(e.Phase() == SmtpPhase::Login ? kAuthenticateFailed : e.what());
    } catch (const std::exception& e) {
        SetText(e.what());
    }
    return false;
}

bool SMTP::TestConnection()
{
    try {
        TSmtpClient client;
        PrepareClient(client);
        client.ConnectAndLogin();
        return true;
    } catch (const ESmtpError& e) {
        switch (e.Phase()) {
        case SmtpPhase::Connect:
            SetText(kConnectFailed);
            break;
        case SmtpPhase::Login:
            SetText(kLoginFailed);
            break;
        default:
            SetText(e.what());
        }
    } catch (const std::exception& e) {
        SetText(e.what());
    }
    return false;
}
