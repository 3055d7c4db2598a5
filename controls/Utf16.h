#pragma once
// The drawing layer takes text as UTF-16, the rest of the program keeps UTF-8.
#include <QString>

#include <string>
#include <string_view>

inline std::u16string ToUtf16(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
}
