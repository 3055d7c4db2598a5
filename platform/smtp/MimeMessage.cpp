#include "platform/smtp/MimeMessage.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/Base64.h"
#include "platform/rtl/RegularFile.h"

namespace {

// 57 bytes make one 76-character base64 line.
constexpr uint64_t kLineBytes = 57;
constexpr uint64_t kLineChars = 76;

std::string StripLineBreaks(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool IsPlainAscii(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

uint64_t Base64Size(uint64_t bytes)
{
    const uint64_t full = bytes / kLineBytes;
    const uint64_t rest = bytes % kLineBytes;
    return full * (kLineChars + 2) + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
}

// Body text as quoted-printable, CRLF line ends. Lines of any length and any
// bytes survive every relay this way.
std::string QuotedPrintable(const std::string& body)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    size_t i = 0;
    while (i <= body.size()) {
        size_t end = body.find_first_of("\r\n", i);
        if (end == std::string::npos)
            end = body.size();
        const std::string line = body.substr(i, end - i);
        size_t column = 0;
        for (size_t k = 0; k < line.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(line[k]);
            std::string piece;
            const bool last = k + 1 == line.size();
            if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
                piece.assign(1, static_cast<char>(c));
            else
                piece = {'=', hex[c >> 4], hex[c & 15]};
            if (column + piece.size() > 75) {
                out += "=\r\n";
                column = 0;
            }
            out += piece;
            column += piece.size();
        }
        if (end == body.size())
            break;
        out += "\r\n";
        i = end + (body.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return out;
}

std::string RandomHex(size_t digits)
{
    static const char hex[] = "0123456789abcdef";
    std::random_device rd;
    std::string out;
    for (size_t i = 0; i < digits; ++i)
        out += hex[rd() & 15];
    return out;
}

std::string DateHeader()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[tm.tm_wday], tm.tm_mday,
                  months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ContentTypeFor(const std::string& name)
{
    const auto dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "pdf")
        return "application/pdf";
    if (ext == "zip")
        return "application/zip";
    if (ext == "jpg" || ext == "jpeg")
        return "image/jpeg";
    if (ext == "png")
        return "image/png";
    return "application/octet-stream";
}

// Content-Disposition and Content-Type parameters for the file name: a
// quoted string when it is plain ASCII, else RFC 2231 for the disposition
// and an encoded word for the older "name" parameter.
void FileNameParameters(const std::string& name, std::string& typeParam, std::string& dispositionParam)
{
    if (IsPlainAscii(name) && name.find_first_of("\"\\") == std::string::npos) {
        typeParam = " name=\"" + name + "\"";
        dispositionParam = "filename=\"" + name + "\"";
        return;
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : name) {
        if (std::isalnum(c) || std::strchr("!#$&+-.^_`|~", c))
            encoded += static_cast<char>(c);
        else
            encoded += {'%', hex[c >> 4], hex[c & 15]};
    }
    // On a line of its own, folded between its words, so that no line is
    // longer than the 76 characters allowed for encoded words.
    typeParam = "\r\n name=\"" + EncodeHeaderText(name, std::strlen(" name=\"") + 1) + "\"";
    dispositionParam = "filename*=UTF-8''" + encoded;
}

} // namespace

std::string EncodeHeaderText(const std::string& raw, size_t used)
{
    const std::string text = StripLineBreaks(raw);
    if (IsPlainAscii(text) && text.size() <= 900)
        return text;
    // A word of n bytes is 12 + 4 * ceil(n / 3) characters; every line that
    // holds one, the header's name on the first and the folding space on the
    // others included, stays within 76 characters. A first line too full for
    // even one character's word starts the words on the next line.
    constexpr size_t kLineLimit = 76;
    constexpr size_t kWordOverhead = 12; // "=?UTF-8?B?" and "?="
    auto bytesFor = [](size_t room) { return room < kWordOverhead ? 0 : (room - kWordOverhead) / 4 * 3; };
    std::string out;
    size_t room = used < kLineLimit ? kLineLimit - used : 0;
    // Room for the longest UTF-8 sequence, or the words start on the next line.
    bool fold = bytesFor(room) < 6;
    size_t i = 0;
    while (i < text.size()) {
        if (fold) {
            out += "\r\n ";
            room = kLineLimit - 1;
        }
        fold = true;
        size_t end = std::min(text.size(), i + bytesFor(room));
        // Back off to the start of a UTF-8 sequence.
        while (end < text.size() && end > i + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        out += "=?UTF-8?B?" + Base64Encode(text.data() + i, end - i) + "?=";
        i = end;
    }
    return out;
}

std::vector<std::string> SplitRecipients(const std::string& text)
{
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    for (char c : StripLineBreaks(text)) {
        if (c == '"')
            quoted = !quoted;
        if (!quoted && (c == ',' || c == ';')) {
            if (auto entry = Trim(current); !entry.empty())
                out.push_back(entry);
            current.clear();
            continue;
        }
        current += c;
    }
    if (auto entry = Trim(current); !entry.empty())
        out.push_back(entry);
    return out;
}

std::string RecipientAddress(const std::string& entry)
{
    const auto open = entry.find_last_of('<');
    if (open != std::string::npos) {
        const auto close = entry.find('>', open);
        if (close != std::string::npos)
            return Trim(entry.substr(open + 1, close - open - 1));
    }
    return Trim(entry);
}

TMimeMessage::TMimeMessage() = default;

TMimeMessage::~TMimeMessage()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void TMimeMessage::Prepare()
{
    segments_.clear();
    rcpt_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }

    // The display parts of the To line, with the bare addresses for the envelope.
    std::string toLine;
    for (const auto& entry : SplitRecipients(Recipients)) {
        const std::string address = RecipientAddress(entry);
        if (address.empty())
            continue;
        rcpt_.push_back(address);
        std::string shown = entry;
        const auto open = entry.find_last_of('<');
        if (open != std::string::npos && open > 0) {
            std::string name = Trim(entry.substr(0, open));
            if (!IsPlainAscii(name)) {
                // "To: " before the first entry, the folding space before the others.
                name = EncodeHeaderText(name, toLine.empty() ? std::strlen("To: ") : 1);
                const auto lineStart = name.rfind("\r\n");
                const size_t lastLine = lineStart == std::string::npos ? name.size() : name.size() - lineStart - 2;
                if (lastLine + address.size() + 3 > 76)
                    name += "\r\n";
            }
            shown = name + " <" + address + ">";
        }
        toLine += (toLine.empty() ? "" : ",\r\n ") + shown;
    }
    if (rcpt_.empty())
        throw EMimeError("No recipient address was given.");

    uint64_t attachmentSize = 0;
    if (!AttachmentPath.empty()) {
        struct stat st {};
        fd_ = OpenOnlyRegularFile(AttachmentPath, O_RDONLY, st);
        if (fd_ < 0)
            throw EMimeError("Cannot read the attachment \"" + AttachmentPath + "\": " + RefusalReason(errno) + ".");
        attachmentSize = static_cast<uint64_t>(st.st_size);
    }

    const std::string from = StripLineBreaks(FromAddress);
    const auto at = from.find('@');
    const std::string domain = at == std::string::npos ? "localhost" : from.substr(at + 1);
    const std::string boundary = "=_part_" + RandomHex(28);

    std::string head;
    head += "Date: " + DateHeader() + "\r\n";
    head += "From: " + from + "\r\n";
    head += "To: " + toLine + "\r\n";
    head += "Subject: " + EncodeHeaderText(Subject, std::strlen("Subject: ")) + "\r\n";
    head += "Message-ID: <" + RandomHex(32) + "@" + (domain.empty() ? "localhost" : domain) + ">\r\n";
    head += "MIME-Version: 1.0\r\n";
    head += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n";
    head += "\r\n";
    head += "--" + boundary + "\r\n";
    head += "Content-Type: text/plain; charset=UTF-8\r\n";
    head += "Content-Transfer-Encoding: quoted-printable\r\n";
    head += "\r\n";
    head += QuotedPrintable(Body) + "\r\n";

    if (!AttachmentPath.empty()) {
        const std::string name = FileNameOf(AttachmentPath);
        std::string typeParam, dispositionParam;
        FileNameParameters(name, typeParam, dispositionParam);
        head += "--" + boundary + "\r\n";
        head += "Content-Type: " + ContentTypeFor(name) + ";" + typeParam + "\r\n";
        head += "Content-Transfer-Encoding: base64\r\n";
        head += "Content-Disposition: attachment; " + dispositionParam + "\r\n";
        head += "\r\n";
    }
    Segment first;
    first.text = head;
    first.size = head.size();
    segments_.push_back(first);

    if (!AttachmentPath.empty()) {
        Segment file;
        file.isFile = true;
        file.fileBytes = attachmentSize;
        file.size = Base64Size(attachmentSize);
        segments_.push_back(file);
    }
    Segment tail;
    tail.text = "--" + boundary + "--\r\n";
    tail.size = tail.text.size();
    segments_.push_back(tail);

    size_ = 0;
    for (const auto& s : segments_)
        size_ += s.size;
    Rewind();
}

void TMimeMessage::Rewind()
{
    segment_ = 0;
    offset_ = 0;
    pending_.clear();
    pendingPos_ = 0;
    fileRead_ = 0;
    if (fd_ >= 0)
        ::lseek(fd_, 0, SEEK_SET);
}

size_t TMimeMessage::Read(char* buffer, size_t size)
{
    size_t done = 0;
    while (done < size && segment_ < segments_.size()) {
        Segment& s = segments_[segment_];
        size_t n;
        if (s.isFile) {
            n = ReadFileSegment(buffer + done, size - done);
        } else {
            n = static_cast<size_t>(std::min<uint64_t>(size - done, s.size - offset_));
            std::memcpy(buffer + done, s.text.data() + offset_, n);
        }
        offset_ += n;
        done += n;
        if (offset_ == s.size) {
            ++segment_;
            offset_ = 0;
        }
    }
    return done;
}

size_t TMimeMessage::ReadFileSegment(char* buffer, size_t size)
{
    const Segment& s = segments_[segment_];
    if (pendingPos_ == pending_.size()) {
        // Encode the next run of whole lines (about 64 KiB of file bytes).
        const uint64_t want = std::min<uint64_t>(s.fileBytes - fileRead_, kLineBytes * 1150);
        std::string raw(want, '\0');
        uint64_t got = 0;
        while (got < want) {
            const ssize_t r = ::read(fd_, raw.data() + got, want - got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                throw EMimeError("Cannot read the attachment \"" + AttachmentPath + "\": " + std::strerror(errno) + ".");
            if (r == 0)
                throw EMimeError("The attachment \"" + AttachmentPath + "\" became shorter while it was sent.");
            got += static_cast<uint64_t>(r);
        }
        fileRead_ += want;
        pending_.clear();
        pendingPos_ = 0;
        for (uint64_t i = 0; i < want; i += kLineBytes) {
            pending_ += Base64Encode(raw.data() + i, std::min<uint64_t>(kLineBytes, want - i));
            pending_ += "\r\n";
        }
    }
    const size_t n = std::min(size, pending_.size() - pendingPos_);
    std::memcpy(buffer, pending_.data() + pendingPos_, n);
    pendingPos_ += n;
    return n;
}
