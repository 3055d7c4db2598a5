#include "services/SimpleMAPI.h"

#include <vector>

#include "model/Options.h"
#include "platform/mapi/Mapi.h"
#include "platform/registry/RegistryIniFile.h"

namespace {

const char kEmailSection[] = "Email";
const char kDefaultValue[] = "IsSimpleMAPIDefault";

std::string FailureText(ULONG result, const std::string& attachment)
{
    switch (result) {
    case MAPI_E_LOGON_FAILURE:
        return "No mail program is set up. Please choose a default e-mail program in your desktop's settings.";
    case MAPI_E_ATTACHMENT_NOT_FOUND:
        return "The file to attach was not found: " + attachment;
    case MAPI_E_ATTACHMENT_OPEN_FAILURE:
        return "The file to attach could not be read: " + attachment;
    case MAPI_USER_ABORT:
        return "The mail program was closed without sending the message.";
    default:
        return "Your mail program could not be started (xdg-email failed). Please check the default e-mail "
               "program in your desktop's settings.";
    }
}

} // namespace

SimpleMAPI::SimpleMAPI()
{
    isEditable_ = false;
    typeName_ = Options::Instance()->GetDefaultMailClient();
}

bool SimpleMAPI::AskDesktopAgain()
{
    std::string name = Options::Instance()->GetDefaultMailClient();
    if (name.empty())
        return false;
    typeName_ = std::move(name);
    return true;
}

std::unique_ptr<TRegistryIniFile> SimpleMAPI::Load(const std::string&)
{
    TRegistryIniFile store(Options::SettingsKey, KEY_READ);
    SetIsDefault(store.ReadInteger(kEmailSection, kDefaultValue, 0) != 0);
    return nullptr;
}

std::unique_ptr<TRegistryIniFile> SimpleMAPI::Save()
{
    TRegistryIniFile store(Options::SettingsKey);
    store.WriteString(kEmailSection, kDefaultValue, GetIsDefault() ? "1" : "0");
    return nullptr;
}

bool SimpleMAPI::Send()
{
    SetText("");
    const MapiLibrary* library = LoadMapiLibrary();
    if (!library) {
        SetText("No mail program can be started: xdg-email is not installed (Debian package xdg-utils).");
        return false;
    }
    if (!library->MAPILogon || !library->MAPISendMail) {
        SetText("Failed to resolve SendMail address.");
        return false;
    }
    LHANDLE session = 0;
    library->MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI | MAPI_NEW_SESSION, 0, &session);

    // The structures take writable texts; these copies live through the call.
    std::string subject = GetSubject(), body = GetBody(), type, path = GetAttachment();
    MapiFileDesc file{};
    file.nPosition = static_cast<ULONG>(-1);
    file.lpszPathName = path.data();
    MapiMessage message{};
    message.lpszSubject = subject.data();
    message.lpszNoteText = body.data();
    message.lpszMessageType = type.data();
    message.nFileCount = 1;
    message.lpFiles = &file;

    const ULONG result = library->MAPISendMail(session, 0, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
    if (result == SUCCESS_SUCCESS)
        return true;
    SetText(FailureText(result, path));
    return false;
}

std::string SimpleMAPI::SentText() const
{
    // The mail program's compose window sends it, if the user does.
    return "The message was handed to your mail program.";
}
