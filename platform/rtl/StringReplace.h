#pragma once
#include <string>
#include <string_view>

// Replaces every occurrence of `from` in `text`, scanning left to right;
// replaced text is not scanned again. An empty `from` changes nothing.
void StringReplaceAll(std::string& text, std::string_view from, std::string_view to);
