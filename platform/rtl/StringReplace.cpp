#include "platform/rtl/StringReplace.h"

void StringReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return;
    std::size_t hit = text.find(from);
    if (hit == std::string::npos)
        return;
    // One pass into a new buffer: replacing in place is quadratic on pages
    // with many markers.
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    while (hit != std::string::npos) {
        out.append(text, start, hit - start);
        out += to;
        start = hit + from.size();
        hit = text.find(from, start);
    }
    out.append(text, start, std::string::npos);
    text = std::move(out);
}
