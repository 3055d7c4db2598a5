#pragma once
// An e-mail account: one outgoing message (subject, body, recipient, one
// attached file) with the account's identity and flags, kept in the current
// user's registry under "Software\Velmora Album Designer Pro\Email", one
// section per account named by its from address.
#include <memory>
#include <string>

#include "model/LastError.h"

class ProgressThread;
class TRegistryIniFile;

class Emailer : public LastError {
public:
    Emailer();
    virtual ~Emailer();
    Emailer(const Emailer&) = delete;
    Emailer& operator=(const Emailer&) = delete;

    // Erases the account's section; false when it has none or the registry
    // refuses.
    virtual bool DeleteFromRegistry();
    // Load and Save hand the open store down the chain of overrides; the most
    // derived class drops it and returns null. Save raises ERegistryException
    // when the registry cannot be written, and writes nothing for an account
    // that has no section (no from address, not loaded from one).
    virtual std::unique_ptr<TRegistryIniFile> Load(const std::string& section);
    virtual std::unique_ptr<TRegistryIniFile> Save();
    virtual void SetUserName(const std::string& name);
    // On false the reason is GetText().
    virtual bool Send() = 0;
    // The status that tells the user what a successful Send did.
    virtual std::string SentText() const;
    virtual bool TestConnection();

    const std::string& GetTypeName() const { return typeName_; }
    const std::string& GetUserName() const { return userName_; }
    void SetPassword(const std::string& password) { password_ = password; }
    const std::string& GetPassword() const { return password_; }
    void SetAttachment(const std::string& path) { attachment_ = path; }
    const std::string& GetAttachment() const { return attachment_; }
    void SetSubject(const std::string& subject) { subject_ = subject; }
    const std::string& GetSubject() const { return subject_; }
    void SetBody(const std::string& body) { body_ = body; }
    const std::string& GetBody() const { return body_; }
    void SetRecipient(const std::string& recipient) { recipient_ = recipient; }
    const std::string& GetRecipient() const { return recipient_; }
    void SetFromAddress(const std::string& address) { fromAddress_ = address; }
    const std::string& GetFromAddress() const { return fromAddress_; }
    bool GetIsDefault() const { return isDefault_; }
    void SetIsDefault(bool isDefault) { isDefault_ = isDefault; }
    int GetAccountKind() const { return kind_; }
    bool UsesComposeForm() const { return usesComposeForm_; }
    bool CanSend() const { return canSend_; }
    bool IsEditable() const { return isEditable_; }
    void SetProgressSink(ProgressThread* sink) { progressSink_ = sink; }

    // The from address, or the type name while that is empty.
    std::string GetDisplayName() const;
    // What follows the first at-sign of the from address; empty without one.
    std::string GetDomain() const;

    // "Software\Velmora Album Designer Pro\Email".
    static std::string RegistryKey();
    // The text that stands for the password in the registry. Obfuscation
    // only, not encryption: it keeps the password from being read at a
    // glance, and anyone with this source can undo it.
    static std::string ScramblePassword(const std::string& password);
    // Empty for a text that ScramblePassword did not make.
    static std::string UnscramblePassword(const std::string& text);

protected:
    // The account's registry section: the from address, else the section
    // it was loaded from; empty when it has neither.
    std::string Section() const;

    std::string typeName_;
    bool usesComposeForm_ = false;
    bool isEditable_ = true;
    int kind_ = 1;
    ProgressThread* progressSink_ = nullptr;

private:
    std::string attachment_;
    std::string subject_ = "My Portfolio";
    std::string body_;
    std::string recipient_;
    std::string fromAddress_;
    std::string userName_;
    std::string password_;
    bool canSend_ = true;
    bool isDefault_ = false;
    std::string loadedSection_;
};
