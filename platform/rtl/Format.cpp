#include "platform/rtl/Format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Invalid(const std::string& format)
{
    throw EConvertError("Format '" + format + "' invalid or incompatible with argument");
}

// The shortest decimal digits that read back as |value|, and the power of
// ten of the first one: 0.25 gives "25" and -1. Never touches the locale.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal Shortest(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    std::string text(buffer, result.ptr);
    size_t e = text.find('e');
    Decimal d;
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.')
            d.digits += text[i];
    d.exponent = std::atoi(text.c_str() + e + 1);
    return d;
}

// Keeps `count` digits, rounding half away from zero as users expect.
void RoundDigits(Decimal& d, int count)
{
    if (count < 0) {
        d.digits = "0";
        return;
    }
    if (static_cast<int>(d.digits.size()) <= count)
        return;
    bool up = d.digits[count] >= '5';
    d.digits.resize(count);
    if (!up)
        return;
    int i = count - 1;
    for (; i >= 0; --i) {
        if (d.digits[i] == '9') {
            d.digits[i] = '0';
        } else {
            ++d.digits[i];
            break;
        }
    }
    if (i < 0) {
        d.digits.insert(d.digits.begin(), '1');
        ++d.exponent;
    }
}

bool AllZero(const std::string& s)
{
    return s.find_first_of("123456789") == std::string::npos;
}

std::string Fixed(double value, int decimals)
{
    Decimal d = Shortest(value);
    // Leading zeros put the first digit at the units place or after it.
    if (d.exponent < 0) {
        d.digits.insert(0, static_cast<size_t>(-d.exponent), '0');
        d.exponent = 0;
    }
    RoundDigits(d, d.exponent + 1 + decimals);
    int point = d.exponent + 1;
    while (static_cast<int>(d.digits.size()) < point + decimals)
        d.digits += '0';
    std::string out = d.digits.substr(0, point);
    size_t first = out.find_first_not_of('0');
    out = first == std::string::npos ? "0" : out.substr(first);
    if (decimals > 0)
        out += "." + d.digits.substr(point, decimals);
    return (value < 0 && !AllZero(out)) ? "-" + out : out;
}

// Inserts "," between groups of three digits of the integer part.
std::string GroupThousands(const std::string& number)
{
    size_t start = (number.empty() || number[0] != '-') ? 0 : 1;
    size_t end = number.find('.');
    if (end == std::string::npos)
        end = number.size();
    std::string out = number.substr(0, start);
    for (size_t i = start; i < end; ++i) {
        out += number[i];
        size_t left = end - i - 1;
        if (left > 0 && left % 3 == 0)
            out += ',';
    }
    return out + number.substr(end);
}

// The class library's exponent: a sign and at least three digits.
std::string Scientific(double value, int precision)
{
    precision = std::clamp(precision, 1, 18);
    Decimal d = Shortest(value);
    RoundDigits(d, precision);
    d.digits.resize(precision, '0');
    if (AllZero(d.digits))
        d.exponent = 0;
    std::string out = d.digits.substr(0, 1);
    if (precision > 1)
        out += "." + d.digits.substr(1);
    std::string exponent = std::to_string(std::abs(d.exponent));
    while (exponent.size() < 3)
        exponent = "0" + exponent;
    out += std::string("E") + (d.exponent < 0 ? "-" : "+") + exponent;
    return value < 0 ? "-" + out : out;
}

std::string General(double value, int precision)
{
    if (precision <= 0 || precision > 15)
        precision = 15;
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    if (value == 0)
        return "0";
    Decimal d = Shortest(value);
    RoundDigits(d, precision);
    if (d.exponent >= precision || d.exponent < -4) {
        std::string s = Scientific(value, precision);
        size_t e = s.find('E');
        std::string mantissa = s.substr(0, e);
        if (mantissa.find('.') != std::string::npos) {
            while (mantissa.back() == '0')
                mantissa.pop_back();
            if (mantissa.back() == '.')
                mantissa.pop_back();
        }
        return mantissa + s.substr(e);
    }
    std::string s = Fixed(value, std::max(precision - 1 - d.exponent, 0));
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s;
}

std::string Pad(std::string text, int width, bool left)
{
    if (static_cast<int>(text.size()) < width)
        text = left ? text + std::string(width - text.size(), ' ') : std::string(width - text.size(), ' ') + text;
    return text;
}

}  // namespace

std::string Format(const std::string& format, const std::vector<TFormatArg>& args)
{
    std::string out;
    size_t next = 0;
    auto takeInt = [&]() -> int64_t {
        if (next >= args.size() || !std::holds_alternative<int64_t>(args[next]))
            Invalid(format);
        return std::get<int64_t>(args[next++]);
    };
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= format.size())
            Invalid(format);
        if (format[i] == '%') {
            out += '%';
            continue;
        }
        // index, "-", width, precision: digits before ":" are the index.
        auto number = [&](int& value) -> bool {
            if (i < format.size() && format[i] == '*') {
                ++i;
                value = static_cast<int>(takeInt());
                return true;
            }
            if (i >= format.size() || !std::isdigit(static_cast<unsigned char>(format[i])))
                return false;
            value = 0;
            while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) {
                value = value * 10 + (format[i] - '0');
                if (value > 100000)
                    Invalid(format);
                ++i;
            }
            return true;
        };
        int first = 0;
        bool haveFirst = number(first);
        if (haveFirst && i < format.size() && format[i] == ':') {
            next = static_cast<size_t>(first);
            haveFirst = false;
            ++i;
        }
        bool left = false;
        if (!haveFirst && i < format.size() && format[i] == '-') {
            left = true;
            ++i;
        }
        int width = 0;
        if (haveFirst)
            width = first;
        else
            number(width);
        int precision = -1;
        if (i < format.size() && format[i] == '.') {
            ++i;
            precision = 0;
            number(precision);
        }
        if (i >= format.size())
            Invalid(format);
        char type = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
        if (next >= args.size())
            Invalid(format);
        const TFormatArg& arg = args[next++];
        std::string text;
        switch (type) {
        case 'd':
        case 'u':
        case 'x': {
            if (!std::holds_alternative<int64_t>(arg))
                Invalid(format);
            int64_t v = std::get<int64_t>(arg);
            if (type == 'x') {
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(v));
                text = buffer;
            } else if (type == 'u') {
                text = std::to_string(static_cast<uint32_t>(v));
            } else {
                text = std::to_string(v < 0 ? -static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v));
            }
            if (precision > static_cast<int>(text.size()))
                text = std::string(precision - text.size(), '0') + text;
            if (type == 'd' && v < 0)
                text = "-" + text;
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n': {
            // Integers are not widened: "%f" with one is a caller's mistake.
            if (!std::holds_alternative<double>(arg))
                Invalid(format);
            const double v = std::get<double>(arg);
            if (type == 'e')
                text = Scientific(v, precision < 0 ? 15 : precision);
            else if (type == 'g')
                text = General(v, precision);
            else {
                text = Fixed(v, precision < 0 ? 2 : std::min(precision, 18));
                if (type == 'n')
                    text = GroupThousands(text);
            }
            break;
        }
        case 's':
            if (!std::holds_alternative<std::string>(arg))
                Invalid(format);
            text = std::get<std::string>(arg);
            if (precision >= 0 && precision < static_cast<int>(text.size()))
                text.resize(precision);
            break;
        default:
            Invalid(format);
        }
        out += Pad(text, width, left);
    }
    return out;
}

namespace {

// The format split at ";" outside quotes.
std::vector<std::string> Sections(const std::string& format)
{
    std::vector<std::string> sections(1);
    char quote = 0;
    for (char c : format) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

struct Picture {
    std::string prefix, suffix;
    int integerZeros = 0;   // integer digits always shown
    int decimals = 0;       // decimal placeholders
    int decimalZeros = 0;   // decimals always shown
    bool thousands = false;
    bool exponent = false;
    bool exponentPlus = false;
    char exponentChar = 'E';
    int exponentZeros = 0;
    int integerPlaces = 0;
};

Picture ParsePicture(const std::string& section)
{
    Picture p;
    bool started = false, ended = false, afterPoint = false;
    bool zeroSeen = false;
    char quote = 0;
    for (size_t i = 0; i < section.size(); ++i) {
        char c = section[i];
        std::string& literal = started ? p.suffix : p.prefix;
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                literal += c;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        bool placeholder = (c == '0' || c == '#') && !ended;
        if (placeholder) {
            started = true;
            if (afterPoint) {
                ++p.decimals;
                if (c == '0')
                    p.decimalZeros = p.decimals;
            } else {
                ++p.integerPlaces;
                if (c == '0')
                    zeroSeen = true;
                if (zeroSeen)
                    ++p.integerZeros;
            }
        } else if (c == '.' && !ended && !afterPoint) {
            started = true;
            afterPoint = true;
        } else if (c == ',' && !ended && !afterPoint) {
            p.thousands = true;
        } else if ((c == 'E' || c == 'e') && started && !ended && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
            p.exponent = true;
            p.exponentChar = c;
            p.exponentPlus = section[i + 1] == '+';
            ++i;
            while (i + 1 < section.size() && section[i + 1] == '0') {
                ++p.exponentZeros;
                ++i;
            }
            ended = true;
        } else {
            if (started)
                ended = true;
            (started ? p.suffix : p.prefix) += c;
        }
    }
    return p;
}

std::string Digits(double magnitude, const Picture& p)
{
    std::string s = Fixed(magnitude, std::min(p.decimals, 18));
    std::string integer = s.substr(0, s.find('.'));
    std::string fraction = s.find('.') == std::string::npos ? "" : s.substr(s.find('.') + 1);
    while (static_cast<int>(fraction.size()) > p.decimalZeros && !fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (integer == "0" && p.integerZeros == 0)
        integer.clear();
    while (static_cast<int>(integer.size()) < p.integerZeros)
        integer = "0" + integer;
    if (p.thousands)
        integer = GroupThousands(integer);
    return fraction.empty() ? integer : integer + "." + fraction;
}

std::string ApplyPicture(const Picture& p, double magnitude)
{
    if (!p.exponent)
        return Digits(magnitude, p);
    int exponent = 0;
    if (magnitude != 0) {
        int places = std::max(p.integerPlaces, 1);
        exponent = static_cast<int>(std::floor(std::log10(magnitude))) - (places - 1);
        // Rounding may carry into one more integer digit.
        std::string rounded = Fixed(magnitude / std::pow(10.0, exponent), std::min(p.decimals, 18));
        size_t point = rounded.find('.');
        if ((point == std::string::npos ? rounded.size() : point) > static_cast<size_t>(places))
            ++exponent;
        magnitude /= std::pow(10.0, exponent);
    }
    std::string digits = std::to_string(std::abs(exponent));
    while (static_cast<int>(digits.size()) < p.exponentZeros)
        digits = "0" + digits;
    std::string sign = exponent < 0 ? "-" : (p.exponentPlus ? "+" : "");
    return Digits(magnitude, p) + p.exponentChar + sign + digits;
}

}  // namespace

std::string FormatFloat(const std::string& format, double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    std::vector<std::string> sections = Sections(format);
    if (format.empty())
        return General(value, 15);
    std::string section = sections[0];
    bool ownNegative = false;
    if (value < 0 && sections.size() > 1 && !sections[1].empty()) {
        section = sections[1];
        ownNegative = true;
    } else if (value == 0 && sections.size() > 2 && !sections[2].empty()) {
        section = sections[2];
    }
    Picture picture = ParsePicture(section);
    std::string number = ApplyPicture(picture, std::fabs(value));
    // A value that rounds to nothing but zeros carries no sign.
    std::string mantissa = picture.exponent ? number.substr(0, number.rfind(picture.exponentChar)) : number;
    bool nonZero = mantissa.find_first_of("123456789") != std::string::npos;
    std::string sign = (value < 0 && !ownNegative && nonZero) ? "-" : "";
    return picture.prefix + sign + number + picture.suffix;
}

namespace {

const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

struct DateParts {
    int64_t year;
    int month, day, weekDay, hour, minute, second, millisecond;
};

DateParts Decode(TDateTime value)
{
    double whole = std::trunc(value);
    int64_t day = static_cast<int64_t>(whole);
    int64_t ms = std::llround(std::fabs(value - whole) * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        day += value < 0 ? -1 : 1;
    }
    // Civil date from the day count (proleptic Gregorian).
    int64_t z = day - static_cast<int64_t>(UnixDateDelta) + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    DateParts p{};
    p.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    p.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    p.year = yoe + era * 400 + (p.month <= 2 ? 1 : 0);
    // 30 December 1899 was a Saturday.
    p.weekDay = static_cast<int>(((day % 7) + 7 + 6) % 7);
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.millisecond = static_cast<int>(ms % 1000);
    return p;
}

std::string Two(int64_t v)
{
    return (v < 10 && v >= 0 ? "0" : "") + std::to_string(v);
}

bool StartsWithNoCase(const std::string& s, size_t i, const char* word)
{
    for (size_t k = 0; word[k]; ++k)
        if (i + k >= s.size() || std::tolower(static_cast<unsigned char>(s[i + k])) != word[k])
            return false;
    return true;
}

void AppendDateTime(std::string& out, const std::string& format, const DateParts& p, int depth)
{
    if (depth > 2)
        return;
    bool twelveHour = false;
    for (size_t i = 0; i < format.size(); ++i)
        if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
            StartsWithNoCase(format, i, "ampm"))
            twelveHour = true;
    bool afterHour = false;
    for (size_t i = 0; i < format.size();) {
        char c = format[i];
        char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t run = 1;
        while (i + run < format.size() && std::tolower(static_cast<unsigned char>(format[i + run])) == lower)
            ++run;
        if (c == '"' || c == '\'') {
            size_t end = format.find(c, i + 1);
            if (end == std::string::npos)
                end = format.size();
            out += format.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (lower == 'a') {
            bool pm = p.hour >= 12;
            if (StartsWithNoCase(format, i, "am/pm")) {
                out += pm ? "PM" : "AM";
                i += 5;
            } else if (StartsWithNoCase(format, i, "a/p")) {
                out += pm ? "p" : "a";
                i += 3;
            } else if (StartsWithNoCase(format, i, "ampm")) {
                out += pm ? "PM" : "AM";
                i += 4;
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        switch (lower) {
        case 'y':
            out += run <= 2 ? Two(p.year % 100) : std::to_string(p.year);
            afterHour = false;
            break;
        case 'm':
            if (afterHour && run <= 2) {
                out += run == 1 ? std::to_string(p.minute) : Two(p.minute);
            } else if (run <= 2) {
                out += run == 1 ? std::to_string(p.month) : Two(p.month);
            } else {
                out += run == 3 ? kShortMonths[p.month - 1] : kLongMonths[p.month - 1];
            }
            afterHour = false;
            break;
        case 'd':
            if (run <= 2)
                out += run == 1 ? std::to_string(p.day) : Two(p.day);
            else if (run == 3)
                out += kShortDays[p.weekDay];
            else if (run == 4)
                out += kLongDays[p.weekDay];
            else if (run == 5)
                AppendDateTime(out, "mm/dd/yyyy", p, depth + 1);
            else
                AppendDateTime(out, "dddd, mmmm d, yyyy", p, depth + 1);
            afterHour = false;
            break;
        case 'h': {
            int hour = p.hour;
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += run == 1 ? std::to_string(hour) : Two(hour);
            afterHour = true;
            break;
        }
        case 'n':
            out += run == 1 ? std::to_string(p.minute) : Two(p.minute);
            afterHour = false;
            break;
        case 's':
            out += run == 1 ? std::to_string(p.second) : Two(p.second);
            afterHour = false;
            break;
        case 'z': {
            std::string ms = std::to_string(p.millisecond);
            out += run >= 3 ? std::string(3 - ms.size(), '0') + ms : ms;
            break;
        }
        case 't':
            AppendDateTime(out, run == 1 ? "hh:nn" : "hh:nn:ss", p, depth + 1);
            break;
        case 'c':
            AppendDateTime(out, "mm/dd/yyyy", p, depth + 1);
            if (p.hour || p.minute || p.second || p.millisecond) {
                out += ' ';
                AppendDateTime(out, "hh:nn:ss", p, depth + 1);
            }
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
}

}  // namespace

std::string FormatDateTime(const std::string& format, TDateTime value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        throw EConvertError("Invalid argument to date encode");
    std::string out;
    AppendDateTime(out, format.empty() ? "c" : format, Decode(value), 0);
    return out;
}
