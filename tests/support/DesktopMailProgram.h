#pragma once
// Makes the program see a mail program set up on the desktop, so that the
// mail client's account is listed: the name the settings look up before they
// ask the desktop. Goes into whichever registry the test uses.
#include "platform/registry/RegistryIniFile.h"

#include <string>

inline void NameDesktopMailProgram(const std::string& name = "Test Mail")
{
    TRegistryIniFile clients("Software\\Clients");
    clients.WriteString("mail", "", name);
}
