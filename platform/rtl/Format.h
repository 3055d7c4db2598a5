#pragma once
// The class library's text formatting: Format, FormatFloat and
// FormatDateTime. Always the invariant conventions: "." before decimals, ","
// between thousands, English month and day names, "/" and ":" separators,
// whatever the user's locale says.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exception.h"

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

using TFormatArg = std::variant<int64_t, double, std::string>;

// "%[index:][-][width][.precision]type" with the types d, u, x, e, f, g, n, s
// and "%%". A width or precision of "*" takes the next argument. A missing
// or mismatched argument throws EConvertError.
std::string Format(const std::string& format, const std::vector<TFormatArg>& args);

// Picture formats: "0" a digit always, "#" a digit when significant, "." the
// decimal point, "," anywhere before it groups thousands, "E+"/"E-" an
// exponent, quoted text as it stands; up to three sections separated by ";"
// for positive, negative and zero values. An empty format gives the
// shortest general form.
std::string FormatFloat(const std::string& format, double value);

// "d dd ddd dddd m mm mmm mmmm yy yyyy h hh n nn s ss z zzz am/pm a/p ampm c
// ddddd tt", "/" and ":" literally, quoted text as it stands; "m" right
// after an hour means minutes.
std::string FormatDateTime(const std::string& format, TDateTime value);
