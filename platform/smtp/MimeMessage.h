#pragma once
// A plain-text e-mail with at most one attached file, written out as MIME
// while it is sent: the attachment is read and base64-encoded piece by piece,
// never held in memory, and the exact size of the whole message is known
// before the first byte goes out.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Exception.h"

// The message cannot be built (no recipient, unreadable attachment, a file
// that changed while it was sent).
class EMimeError : public Exception {
public:
    using Exception::Exception;
};

// Splits a recipient text at "," and ";" (not inside double quotes) into
// its entries, trimmed, empty ones dropped.
std::vector<std::string> SplitRecipients(const std::string& text);
// The bare address of an entry: what stands inside its last "<...>", else
// the whole entry.
std::string RecipientAddress(const std::string& entry);

class TMimeMessage {
public:
    TMimeMessage();
    ~TMimeMessage();
    TMimeMessage(const TMimeMessage&) = delete;
    TMimeMessage& operator=(const TMimeMessage&) = delete;

    std::string Subject;
    std::string Body;            // UTF-8; any line ends
    std::string FromAddress;
    std::string Recipients;      // one text, see SplitRecipients
    std::string AttachmentPath;  // empty: no attachment

    // Checks the fields, opens the attachment and lays the message out.
    // Raises EMimeError. Afterwards the fields are no longer read.
    void Prepare();

    // After Prepare: the size of the whole message in bytes.
    uint64_t Size() const { return size_; }
    // After Prepare: the envelope recipients, bare addresses.
    const std::vector<std::string>& RecipientAddresses() const { return rcpt_; }

    // Copies the next bytes of the message into buffer; 0 at the end.
    // Raises EMimeError when the attachment can no longer be read as measured.
    size_t Read(char* buffer, size_t size);
    // Starts reading from the first byte again.
    void Rewind();

private:
    struct Segment {
        std::string text;       // literal bytes, or
        uint64_t fileBytes = 0; // base64 of this many bytes of the attachment
        bool isFile = false;
        uint64_t size = 0;      // encoded size
    };
    size_t ReadFileSegment(char* buffer, size_t size);

    std::vector<Segment> segments_;
    std::vector<std::string> rcpt_;
    uint64_t size_ = 0;
    int fd_ = -1;

    // Read position.
    size_t segment_ = 0;
    uint64_t offset_ = 0;   // within the current segment's encoded bytes
    std::string pending_;   // encoded bytes made but not yet handed out
    size_t pendingPos_ = 0;
    uint64_t fileRead_ = 0; // attachment bytes consumed
};

// Encodes a header text as RFC 2047 "B" encoded words when it holds bytes
// outside printable ASCII (or is too long for one line); CR and LF are removed
// in any case. Words are at most 75 characters and never split a UTF-8 sequence.
// used: the characters already on the first line (the header name and its
// colon and space); every line that holds a word stays within 76 characters.
std::string EncodeHeaderText(const std::string& text, size_t used = 0);
