#pragma once
// SMTP accounts preset for well-known mail providers: server, port,
// security and kind come with the class, and each class recognises its
// provider's addresses. Otherwise they behave as SMTP.
#include <string>
#include <vector>

#include "services/Smtp.h"

// One provider. Fragments are "@" + domain without its top-level part + "."
// (any top-level domain matches); MailCom instead lists complete endings.
struct ProviderPreset {
    const char* typeName;
    const char* server;
    int port;
    int securityType;
    int kind;
    std::vector<const char*> fragments;
};

// The six providers in the order their address tests are asked: GMail,
// Yahoo, AOL, Live, AIM, MailCom.
const std::vector<ProviderPreset>& ProviderPresets();

// Base of the six: the preset's values over SMTP's; Load and Save end the
// chain of overrides.
class PresetSMTP : public SMTP {
public:
    std::unique_ptr<TRegistryIniFile> Load(const std::string& section) override;
    std::unique_ptr<TRegistryIniFile> Save() override;

protected:
    explicit PresetSMTP(const ProviderPreset& preset);
    // True when the (lower-cased) address contains one of the preset's
    // fragments, tested in order, case-sensitively.
    static bool Matches(const ProviderPreset& preset, const std::string& address);
};

class GMail : public PresetSMTP {
public:
    GMail();
    static bool IsAddress(const std::string& address);
};

class Yahoo : public PresetSMTP {
public:
    Yahoo();
    static bool IsAddress(const std::string& address);
};

// The user name is the part of the from address before its first at-sign
// whenever the from address has one; set the from address first.
class AOL : public PresetSMTP {
public:
    AOL();
    void SetUserName(const std::string& name) override;
    static bool IsAddress(const std::string& address);
};

class Live : public PresetSMTP {
public:
    Live();
    static bool IsAddress(const std::string& address);
};

// The user-name rule of AOL.
class AIM : public PresetSMTP {
public:
    AIM();
    void SetUserName(const std::string& name) override;
    static bool IsAddress(const std::string& address);
};

class MailCom : public PresetSMTP {
public:
    MailCom();
    static bool IsAddress(const std::string& address);
    static const char* TypeName();
};
