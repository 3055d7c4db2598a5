// Build-time tool: turns a folder of <TYPE>/<NAME> files into a C++ source
// holding their bytes.
//
//   velmora-rc <resource folder> <output.cpp> program
//       defines the program's own table (velmoraProgramResources)
//   velmora-rc <resource folder> <output.cpp> register
//       defines a private table that registers itself at start-up
//
// The output is rewritten only when its text changes, so unchanged
// resources cause no recompilation.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Item {
    std::string type;
    std::string name;
    fs::path file;
};

std::string CString(const std::string& text)
{
    std::string out = "\"";
    char buf[8];
    for (unsigned char c : text) {
        if (c == '"' || c == '\\' || c == '?' || c < 0x20 || c >= 0x7f) {
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool Hidden(const fs::path& p)
{
    const std::string name = p.filename().string();
    return name.empty() || name[0] == '.';
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || (std::string(argv[3]) != "program" && std::string(argv[3]) != "register")) {
        std::cerr << "usage: velmora-rc <resource folder> <output.cpp> program|register\n";
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path output = argv[2];
    const bool program = std::string(argv[3]) == "program";

    std::vector<Item> items;
    std::vector<size_t> sizes;
    std::error_code ec;
    if (fs::is_directory(root, ec)) {
        for (const auto& typeDir : fs::directory_iterator(root)) {
            if (!typeDir.is_directory() || Hidden(typeDir.path()))
                continue;
            for (const auto& file : fs::directory_iterator(typeDir.path())) {
                if (!file.is_regular_file() || Hidden(file.path()))
                    continue;
                items.push_back({typeDir.path().filename().string(), file.path().filename().string(), file.path()});
            }
        }
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.type != b.type ? a.type < b.type : a.name < b.name;
    });

    std::ostringstream out;
    out << "// Generated from " << root.string() << " by velmora-rc; do not edit.\n";
    out << "#include \"platform/resources/Resources.h\"\n\nnamespace {\n";
    for (size_t i = 0; i < items.size(); ++i) {
        std::ifstream in(items[i].file, std::ios::binary);
        if (!in) {
            std::cerr << "velmora-rc: cannot read " << items[i].file << "\n";
            return 1;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        out << "const unsigned char data" << i << "[] = {";
        for (size_t j = 0; j < bytes.size(); ++j) {
            if (j % 24 == 0)
                out << "\n";
            out << static_cast<unsigned>(static_cast<unsigned char>(bytes[j])) << ",";
        }
        // A trailing zero keeps empty files valid and text resources terminated.
        out << "0};\n";
        sizes.push_back(bytes.size());
    }
    const std::string table = program ? "velmoraProgramResources" : "tableEntries";
    out << "} // namespace\n\n";
    if (program)
        out << "extern const ResourceEntry velmoraProgramResources[];\nextern const size_t velmoraProgramResourceCount;\n";
    out << (program ? "" : "static ") << "const ResourceEntry " << table << "[] = {\n";
    for (size_t i = 0; i < items.size(); ++i)
        out << "    {" << CString(items[i].type) << ", " << CString(items[i].name) << ", data" << i << ", "
            << sizes[i] << "u},\n";
    out << "    {nullptr, nullptr, nullptr, 0u},\n};\n";
    if (program) {
        out << "const size_t velmoraProgramResourceCount = " << items.size() << ";\n";
    } else {
        out << "namespace {\n[[maybe_unused]] const bool registered = (RegisterResourceTable(" << table << ", " << items.size()
            << "), true);\n}\n";
    }

    const std::string text = out.str();
    std::ifstream old(output, std::ios::binary);
    if (old) {
        std::string existing((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
        if (existing == text)
            return 0;
    }
    const fs::path tmp = output.string() + ".tmp";
    {
        std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
        file << text;
        if (!file) {
            std::cerr << "velmora-rc: cannot write " << tmp << "\n";
            return 1;
        }
    }
    fs::rename(tmp, output);
    return 0;
}
