// registry-helper write-many <prefix> <count>
//     writes "<prefix><i>"=dword:i, i = 0..count-1, into HKCU\Software\Stress
// registry-helper read <key> <name>
//     prints the string value <name> of HKCU\<key>; exit 3 when the key is missing
// registry-helper write <key> <name> <text>
//     writes a string value, creating the key
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry/Registry.h"

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (command == "write-many" && argc == 4) {
            if (!reg.OpenKey("\\Software\\Stress", true))
                return 2;
            const int count = std::atoi(argv[3]);
            for (int i = 0; i < count; ++i)
                reg.WriteInteger(std::string(argv[2]) + std::to_string(i), i);
            return 0;
        }
        if (command == "read" && argc == 4) {
            if (!reg.OpenKeyReadOnly(argv[2]))
                return 3;
            std::fputs(reg.ReadString(argv[3]).c_str(), stdout);
            return 0;
        }
        if (command == "write" && argc == 5) {
            if (!reg.OpenKey(argv[2], true))
                return 2;
            reg.WriteString(argv[3], argv[4]);
            return 0;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "bad arguments\n");
    return 2;
}
