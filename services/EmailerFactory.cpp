#include "services/EmailerFactory.h"

#include <algorithm>
#include <cctype>

#include "platform/registry/RegistryIniFile.h"
#include "services/Emailer.h"
#include "services/ProviderPresets.h"
#include "services/SimpleMAPI.h"
#include "services/Smtp.h"

namespace {

std::mutex instanceLock;
EmailerFactory* instance = nullptr;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

EmailerFactory* EmailerFactory::Instance()
{
    std::lock_guard<std::mutex> guard(instanceLock);
    if (!instance)
        instance = new EmailerFactory();
    return instance;
}

void EmailerFactory::FreeInstance()
{
    std::lock_guard<std::mutex> guard(instanceLock);
    delete instance;
    instance = nullptr;
}

EmailerFactory::EmailerFactory()
{
    LoadAccounts();
}

EmailerFactory::~EmailerFactory()
{
    // Every account is written back, so edits made during the run persist;
    // one that cannot be written does not keep the others from it.
    for (auto& account : accounts_) {
        try {
            account->Save();
        } catch (...) {
        }
    }
}

void EmailerFactory::LoadAccounts()
{
    try {
        auto mapi = std::make_unique<SimpleMAPI>();
        mapi->Load("");
        if (!mapi->GetDisplayName().empty())
            accounts_.push_back(std::move(mapi));
    } catch (...) {
        // The list goes on without the mail client's account.
    }
    try {
        TRegistryIniFile store(Emailer::RegistryKey(), KEY_READ);
        for (const std::string& section : store.ReadSections()) {
            auto account = CreateAccount(store.ReadString(section, "", ""));
            account->Load(section);
            accounts_.push_back(std::move(account));
        }
    } catch (...) {
        // The accounts read so far stay.
    }
}

void EmailerFactory::RefreshMailClient()
{
    try {
        const auto listed = std::find_if(accounts_.begin(), accounts_.end(), [](const auto& account) {
            return dynamic_cast<SimpleMAPI*>(account.get()) != nullptr;
        });
        if (listed != accounts_.end()) {
            if (!static_cast<SimpleMAPI*>(listed->get())->AskDesktopAgain())
                accounts_.erase(listed);
            return;
        }
        auto mapi = std::make_unique<SimpleMAPI>();
        mapi->Load("");
        if (!mapi->GetDisplayName().empty())
            accounts_.insert(accounts_.begin(), std::move(mapi));
    } catch (...) {
        // The list stays as it was.
    }
}

int EmailerFactory::Count() const
{
    return static_cast<int>(accounts_.size());
}

Emailer* EmailerFactory::GetAccount(int index) const
{
    return index >= 0 && index < Count() ? accounts_[static_cast<size_t>(index)].get() : nullptr;
}

std::string EmailerFactory::GetAccountName(int index) const
{
    const Emailer* account = GetAccount(index);
    return account ? account->GetDisplayName() : "Unknown Account";
}

int EmailerFactory::GetAccountKind(int index) const
{
    const Emailer* account = GetAccount(index);
    return account ? account->GetAccountKind() : 1;
}

void EmailerFactory::SetDefault(Emailer* account, bool isDefault)
{
    if (!account)
        return;
    for (auto& a : accounts_)
        a->SetIsDefault(false);
    account->SetIsDefault(isDefault);
}

bool EmailerFactory::HasDefault() const
{
    return GetDefault() != nullptr;
}

Emailer* EmailerFactory::GetDefault() const
{
    for (const auto& a : accounts_)
        if (a->GetIsDefault())
            return a.get();
    return nullptr;
}

Emailer* EmailerFactory::FindAccount(const std::string& name) const
{
    for (const auto& a : accounts_)
        if (a->GetDisplayName() == name)
            return a.get();
    return nullptr;
}

bool EmailerFactory::DeleteAccount(const std::string& name)
{
    const auto it = std::find_if(accounts_.begin(), accounts_.end(),
                                 [&](const auto& a) { return a->GetDisplayName() == name; });
    if (it == accounts_.end() || !(*it)->DeleteFromRegistry())
        return false;
    accounts_.erase(it);
    return true;
}

bool EmailerFactory::DetectProvider(const std::string& address, std::string& typeName, int& kind)
{
    const std::string lower = Lower(address);
    kind = 1;
    typeName.clear();
    if (lower.find('@') == std::string::npos || lower.find('.') == std::string::npos)
        return false;
    struct Test {
        bool (*matches)(const std::string&);
        size_t preset;
    } tests[] = {{GMail::IsAddress, 0}, {Yahoo::IsAddress, 1}, {AOL::IsAddress, 2},
                 {Live::IsAddress, 3},  {AIM::IsAddress, 4},   {MailCom::IsAddress, 5}};
    for (const auto& t : tests) {
        if (t.matches(lower)) {
            typeName = ProviderPresets()[t.preset].typeName;
            kind = ProviderPresets()[t.preset].kind;
            break;
        }
    }
    return true;
}

std::unique_ptr<Emailer> EmailerFactory::CreateAccount(const std::string& typeName)
{
    if (typeName == "GMail")
        return std::make_unique<GMail>();
    if (typeName == "Yahoo")
        return std::make_unique<Yahoo>();
    if (typeName == "AOL")
        return std::make_unique<AOL>();
    if (typeName == "Live")
        return std::make_unique<Live>();
    if (typeName == "AIM")
        return std::make_unique<AIM>();
    if (typeName == MailCom::TypeName())
        return std::make_unique<MailCom>();
    return std::make_unique<SMTP>();
}

Emailer* EmailerFactory::AddAccount(const std::string& address, const std::string& password)
{
    const std::string lower = Lower(address);
    // The address names a registry key: "\" would nest keys, control
    // characters have no place in either.
    for (unsigned char c : lower)
        if (c == '\\' || c < 0x20 || c == 0x7f)
            return nullptr;
    if (FindAccount(lower))
        return nullptr;
    std::string typeName;
    int kind = 1;
    if (!DetectProvider(lower, typeName, kind))
        return nullptr;
    auto account = CreateAccount(typeName);
    account->SetFromAddress(lower);
    account->SetUserName(lower);
    account->SetPassword(password);
    account->Save();
    accounts_.push_back(std::move(account));
    return accounts_.back().get();
}
