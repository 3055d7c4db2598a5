#include "services/Smtp.h"

#include <climits>

#include "output/ProgressThread.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/smtp/MimeMessage.h"
#include "platform/smtp/SmtpClient.h"

const char* const SMTP::PlaceholderServer = "mail.unconfigured.invalid";

namespace {

const char kAuthenticateFailed[] = "Authenticate failed.";
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

std::string SMTP::FailureText(const ESmtpError& error) const
{
    const std::string server = "The mail server " + serverName_ + " (port " + std::to_string(serverPort_) + ")";
    const std::string within = error.Seconds() > 0 ? " within " + std::to_string(error.Seconds()) + " seconds" : "";
    switch (error.Cause()) {
    case SmtpCause::HostNotFound:
        return "The mail server \"" + serverName_ +
               "\" could not be found. Check the server name in the account's settings and that this computer is "
               "online.";
    case SmtpCause::Refused:
        return server + " refused the connection: nothing takes mail on that port. Check the server name and port "
                        "in the account's settings.";
    case SmtpCause::NotReached:
        return server + " could not be reached" + within +
               ". Check the server name and port in the account's settings and that this computer is online.";
    case SmtpCause::NoAnswer:
        return server + " accepted the connection but did not answer" + within +
               ". Check the port and the secure connection type in the account's settings (the server may expect "
               "another kind of connection on that port), or try again later.";
    case SmtpCause::Untrusted:
        return server + " showed a certificate that this computer does not trust, so nothing was sent. Check the "
                        "server name in the account's settings; a server with a certificate of its own needs it "
                        "added to the system's trusted certificates.";
    case SmtpCause::Stopped:
        return error.what();
    case SmtpCause::Other:
        break;
    }
    return server + ": " + error.what();
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
        // The bar moves only while the message goes out: connecting, and
        // waiting for the server to take what was handed out, show busy.
        TSmtpClient::ProgressFunc progress;
        ProgressThread* sink = progressSink_;
        if (sink) {
            sink->ShowBusy();
            progress = [sink, scale](uint64_t sent, uint64_t total) {
                if (sent < total)
                    sink->SetProgress(static_cast<int>(sent / scale), static_cast<int>(total / scale));
                else
                    sink->ShowBusy();
            };
        }
        client.ShouldStop = [sink] { return sink ? sink->Terminated() : TThread::AllTerminated(); };
        client.Send(message, progress);
        if (sink)
            sink->SetProgress(messageSize_, messageSize_);
        return true;
    } catch (const ESmtpError& e) {
        SetText(e.Cause() == SmtpCause::Other && e.Phase() == SmtpPhase::Login ? kAuthenticateFailed
                                                                               : FailureText(e));
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
        client.ShouldStop = [] { return TThread::AllTerminated(); };
        client.ConnectAndLogin();
        return true;
    } catch (const ESmtpError& e) {
        SetText(e.Cause() == SmtpCause::Other && e.Phase() == SmtpPhase::Login ? kLoginFailed : FailureText(e));
    } catch (const std::exception& e) {
        SetText(e.what());
    }
    return false;
}
