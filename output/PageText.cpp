#include "output/PageText.h"

PageText::PageText(std::string skeleton)
{
    parts_.push_back({std::move(skeleton), false});
}

void PageText::Replace(std::string_view placeholder, std::string_view value)
{
    if (placeholder.empty())
        return;
    std::vector<Part> parts;
    parts.reserve(parts_.size());
    // Skeleton text next to skeleton text is one part, so that a marker
    // removed from between them lets them match as one text, as it would
    // in a plain replacement.
    auto addSkeleton = [&parts](std::string_view text) {
        if (text.empty())
            return;
        if (!parts.empty() && !parts.back().value)
            parts.back().text.append(text);
        else
            parts.push_back({std::string(text), false});
    };
    for (Part& part : parts_) {
        if (part.value) {
            parts.push_back(std::move(part));
            continue;
        }
        const std::string_view text = part.text;
        size_t from = 0;
        for (size_t at = text.find(placeholder); at != std::string_view::npos;
             at = text.find(placeholder, from)) {
            addSkeleton(text.substr(from, at - from));
            if (!value.empty())
                parts.push_back({std::string(value), true});
            from = at + placeholder.size();
        }
        addSkeleton(text.substr(from));
    }
    parts_ = std::move(parts);
}

std::string PageText::Text() const
{
    size_t size = 0;
    for (const Part& part : parts_)
        size += part.text.size();
    std::string text;
    text.reserve(size);
    for (const Part& part : parts_)
        text += part.text;
    return text;
}
