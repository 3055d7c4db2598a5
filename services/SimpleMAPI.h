#pragma once
// The account that hands the message to the user's own mail client, whose
// compose window collects the recipient and sends it. Its only stored value
// is the default flag, "IsSimpleMAPIDefault" of the Email key.
#include "services/Emailer.h"

class SimpleMAPI : public Emailer {
public:
    SimpleMAPI();

    // The desktop's mail program as it is named now: false, keeping the old
    // name, when the desktop names none.
    bool AskDesktopAgain();

    // The section is ignored: the account has none.
    std::unique_ptr<TRegistryIniFile> Load(const std::string& section) override;
    std::unique_ptr<TRegistryIniFile> Save() override;
    bool Send() override;
    std::string SentText() const override;
};
