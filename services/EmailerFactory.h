#pragma once
// The process-wide list of e-mail accounts: the system mail client's account
// first, then the accounts of the registry, then those added during the run.
// Created on first use; FreeInstance saves every account and destroys it.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Emailer;

class EmailerFactory {
public:
    // Safe from any thread; the list itself belongs to the main thread (the
    // e-mail job only reads the default account while the window that
    // started it waits).
    static EmailerFactory* Instance();
    static void FreeInstance();

    // The desktop's mail program may be set up, changed or removed while
    // the program runs: asks the desktop again and lists its account as the
    // desktop names it now. Main thread, while no job uses an account.
    void RefreshMailClient();

    int Count() const;
    // Null outside 0..Count()-1.
    Emailer* GetAccount(int index) const;
    // "Unknown Account" and 1 outside 0..Count()-1.
    std::string GetAccountName(int index) const;
    int GetAccountKind(int index) const;

    // Clears every default flag, then gives the account the flag; nothing
    // for a null account. The registry is written at exit.
    void SetDefault(Emailer* account, bool isDefault);
    bool HasDefault() const;
    Emailer* GetDefault() const;
    // The first account whose display name is exactly name.
    Emailer* FindAccount(const std::string& name) const;
    // Erases the account's registry section, then removes and destroys it;
    // false, keeping it, when there is no such account or the erase fails.
    bool DeleteAccount(const std::string& name);

    // For an address with an at-sign and a dot: true, with the type name and
    // kind of the provider it belongs to (empty and 1: generic SMTP).
    static bool DetectProvider(const std::string& address, std::string& typeName, int& kind);
    // A new account of the class for the type name; generic SMTP for
    // "SMTP", "" and any name not known.
    static std::unique_ptr<Emailer> CreateAccount(const std::string& typeName);
    // A new account for the address (lower-cased) with the password, saved
    // and appended; null for an address that is taken, is not an address or
    // cannot name a registry section. Raises when it cannot be saved.
    Emailer* AddAccount(const std::string& address, const std::string& password);

private:
    EmailerFactory();
    ~EmailerFactory();
    void LoadAccounts();

    std::vector<std::unique_ptr<Emailer>> accounts_;
};
