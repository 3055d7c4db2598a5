#pragma once
// A page being filled in: the skeleton's own text with the values put in so
// far. Replacements look only at the skeleton's text, never into a value
// already put in, so a portfolio text that holds a placeholder or a block
// marker is shown as it stands instead of being filled in again (and a text
// made of many placeholders cannot multiply into gigabytes).
#include <string>
#include <string_view>
#include <vector>

class PageText {
public:
    explicit PageText(std::string skeleton);

    // Every occurrence of placeholder in the skeleton's text, left to right,
    // becomes value.
    void Replace(std::string_view placeholder, std::string_view value);
    // Every occurrence of marker goes; the text on both sides joins.
    void Remove(std::string_view marker) { Replace(marker, {}); }

    std::string Text() const;

private:
    struct Part {
        std::string text;
        bool value;
    };
    std::vector<Part> parts_;
};
