#include "services/ProviderPresets.h"

#include "platform/registry/RegistryIniFile.h"

namespace {

enum Provider { kGMail, kYahoo, kAOL, kLive, kAIM, kMailCom };

// Submission hosts as the providers publish them. Ports and security are
// the account's defaults; an account with a password on port 25 still goes
// over STARTTLS wherever the server offers it.
const std::vector<ProviderPreset> kPresets = {
    {"GMail", "smtp.gmail.com", 587, 1, 2, {"@gmail."}},
    {"Yahoo", "smtp.mail.yahoo.com", 25, 0, 3, {"@yahoo."}},
    {"AOL", "smtp.aol.com", 25, 0, 4, {"@aol."}},
    {"Live", "smtp-mail.outlook.com", 587, 1, 5, {"@live.", "@hotmail.", "@outlook."}},
    {"AIM", "smtp.aim.com", 25, 0, 6, {"@aim."}},
    {"Mail.com", "smtp.mail.com", 25, 0, 7,
     {"@mail.com", "@email.com", "@usa.com", "@myself.com", "@consultant.com", "@post.com", "@europe.com",
      "@asia.com", "@iname.com", "@writeme.com", "@dr.com", "@engineer.com", "@cheerful.com", "@techie.com"}},
};

// The local part of the from address, when it has an at-sign.
std::string LocalPartOr(const std::string& from, const std::string& fallback)
{
    const auto at = from.find('@');
    return at == std::string::npos ? fallback : from.substr(0, at);
}

} // namespace

const std::vector<ProviderPreset>& ProviderPresets()
{
    return kPresets;
}

PresetSMTP::PresetSMTP(const ProviderPreset& preset)
{
    typeName_ = preset.typeName;
    SetServerName(preset.server);
    SetServerPort(preset.port);
    SetSecurityType(preset.securityType);
    kind_ = preset.kind;
}

std::unique_ptr<TRegistryIniFile> PresetSMTP::Load(const std::string& section)
{
    SMTP::Load(section);
    return nullptr;
}

std::unique_ptr<TRegistryIniFile> PresetSMTP::Save()
{
    SMTP::Save();
    return nullptr;
}

bool PresetSMTP::Matches(const ProviderPreset& preset, const std::string& address)
{
    for (const char* fragment : preset.fragments)
        if (address.find(fragment) != std::string::npos)
            return true;
    return false;
}

GMail::GMail() : PresetSMTP(kPresets[kGMail]) {}
bool GMail::IsAddress(const std::string& address) { return Matches(kPresets[kGMail], address); }

Yahoo::Yahoo() : PresetSMTP(kPresets[kYahoo]) {}
bool Yahoo::IsAddress(const std::string& address) { return Matches(kPresets[kYahoo], address); }

AOL::AOL() : PresetSMTP(kPresets[kAOL]) {}
bool AOL::IsAddress(const std::string& address) { return Matches(kPresets[kAOL], address); }
void AOL::SetUserName(const std::string& name) { SMTP::SetUserName(LocalPartOr(GetFromAddress(), name)); }

Live::Live() : PresetSMTP(kPresets[kLive]) {}
bool Live::IsAddress(const std::string& address) { return Matches(kPresets[kLive], address); }

AIM::AIM() : PresetSMTP(kPresets[kAIM]) {}
bool AIM::IsAddress(const std::string& address) { return Matches(kPresets[kAIM], address); }
void AIM::SetUserName(const std::string& name) { SMTP::SetUserName(LocalPartOr(GetFromAddress(), name)); }

MailCom::MailCom() : PresetSMTP(kPresets[kMailCom]) {}
bool MailCom::IsAddress(const std::string& address) { return Matches(kPresets[kMailCom], address); }
const char* MailCom::TypeName() { return kPresets[kMailCom].typeName; }
