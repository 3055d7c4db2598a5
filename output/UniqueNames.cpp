#include "output/UniqueNames.h"

namespace {

// The longest name most file systems take, in bytes.
constexpr std::size_t kMaxNameBytes = 255;

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// text cut to at most size bytes, never inside a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t size)
{
    if (text.size() <= size)
        return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;
    return text.substr(0, size);
}

} // namespace

void UniqueNames::Add(const std::string& name)
{
    taken_.insert(Lower(name));
}

bool UniqueNames::Contains(const std::string& name) const
{
    return taken_.contains(Lower(name));
}

std::string UniqueNames::Take(const std::string& name)
{
    // A leading dot starts a name, not an extension; an extension too long
    // to be one is part of the name.
    const std::size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > 0 && name.size() - dot <= 16;
    const std::string stem = hasExt ? name.substr(0, dot) : name;
    const std::string ext = hasExt ? name.substr(dot) : std::string();
    // Names longer than a file system takes (a long title in a script of
    // several bytes a letter) are cut, keeping their extension.
    auto fit = [&](const std::string& suffix) {
        return CutUtf8(stem, kMaxNameBytes - ext.size() - suffix.size()) + suffix + ext;
    };
    std::string candidate = fit("");
    std::string key = Lower(candidate);
    if (taken_.insert(key).second)
        return candidate;
    int& next = next_.try_emplace(std::move(key), 2).first->second;
    for (;; ++next) {
        candidate = fit("-" + std::to_string(next));
        if (taken_.insert(Lower(candidate)).second) {
            ++next;
            return candidate;
        }
    }
}
