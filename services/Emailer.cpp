#include "services/Emailer.h"

#include <vector>

#include "model/Options.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/rtl/Base64.h"
#include "services/ProductAddresses.h"

namespace {

// XOR with a fixed key, then base64 so the result stays printable text.
const char kScrambleKey[] = "Vv#8qPz!mK2@rT9x";

std::string Xor(const std::string& bytes)
{
    std::string out = bytes;
    const size_t keyLength = sizeof kScrambleKey - 1;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ kScrambleKey[i % keyLength] ^ static_cast<char>(i * 7));
    return out;
}

std::string DefaultBody()
{
    std::string site = ProductAddresses::WebSite;
    return std::string("Hello\r\n\r\n") + "Please find attached a copy of my portfolio.\r\n\r\n\r\n" +
           "Created and sent using the " + "Velmora Voravev" + (site.empty() ? "" : " (" + site + ")") + ".\r\n";
}

} // namespace

Emailer::Emailer() : body_(DefaultBody()) {}

Emailer::~Emailer() = default;

std::string Emailer::RegistryKey()
{
    return std::string(Options::SettingsKey) + "\\Email";
}

std::string Emailer::ScramblePassword(const std::string& password)
{
    return Base64Encode(Xor(password));
}

std::string Emailer::UnscramblePassword(const std::string& text)
{
    std::vector<uint8_t> bytes;
    if (text.empty() || !Base64Decode(text, bytes))
        return {};
    return Xor(std::string(bytes.begin(), bytes.end()));
}

std::string Emailer::SentText() const
{
    return "Success. Your E-Mail has been sent.";
}

std::string Emailer::GetDisplayName() const
{
    return fromAddress_.empty() ? typeName_ : fromAddress_;
}

std::string Emailer::GetDomain() const
{
    const auto at = fromAddress_.find('@');
    return at == std::string::npos ? std::string() : fromAddress_.substr(at + 1);
}

std::string Emailer::Section() const
{
    return fromAddress_.empty() ? loadedSection_ : fromAddress_;
}

void Emailer::SetUserName(const std::string& name)
{
    userName_ = name;
}

bool Emailer::TestConnection()
{
    return false;
}

bool Emailer::DeleteFromRegistry()
{
    const std::string section = Section();
    if (section.empty())
        return false;
    try {
        TRegistryIniFile store(RegistryKey());
        store.EraseSection(section);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<TRegistryIniFile> Emailer::Load(const std::string& section)
{
    auto store = std::make_unique<TRegistryIniFile>(RegistryKey(), KEY_READ);
    loadedSection_ = section;
    userName_ = store->ReadString(section, "UserName", "");
    password_ = UnscramblePassword(store->ReadString(section, "Password", ""));
    fromAddress_ = store->ReadString(section, "FromAddress", "");
    isDefault_ = store->ReadInteger(section, "IsDefault", 0) != 0;
    return store;
}

std::unique_ptr<TRegistryIniFile> Emailer::Save()
{
    const std::string section = Section();
    if (section.empty())
        return nullptr;
    auto store = std::make_unique<TRegistryIniFile>(RegistryKey());
    store->WriteString(section, "", typeName_);
    store->WriteString(section, "UserName", userName_);
    store->WriteString(section, "Password", ScramblePassword(password_));
    store->WriteString(section, "FromAddress", fromAddress_);
    store->WriteString(section, "IsDefault", isDefault_ ? "1" : "0");
    return store;
}
