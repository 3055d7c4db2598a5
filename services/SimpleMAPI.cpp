#include "services/SimpleMAPI.h"

#include <vector>

#include "model/Options.h"
#include "platform/mapi/Mapi.h"
#include "platform/registry/RegistryIniFile.h"

namespace {

const char kEmailSection[] = "Email";
const char kDefaultValue[] = "IsSimpleMAPIDefault";

} // namespace

SimpleMAPI::SimpleMAPI()
{
    isEditable_ = false;
    typeName_ = Options::Instance()->GetDefaultMailClient();
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
        SetText("Failed to load MAPI32.DLL.");
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
    SetText("Unable to send E-Mail (Reason " + std::to_string(result) + ").");
    return false;
}
