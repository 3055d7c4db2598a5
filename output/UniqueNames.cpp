#include "output/UniqueNames.h"

#include "platform/rtl/FileName.h"

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
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
    // Names longer than a file system takes (a long title in a script of
    // several bytes a letter) are cut, keeping their extension.
    auto fit = [&](const std::string& suffix) { return FitFileName(name, suffix); };
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
