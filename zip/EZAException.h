#pragma once
// The one exception of the archive library. Every failure is raised with a
// native code (0..62); the code picks one of the message texts below, and the
// message always ends with " - Native error: " and the code in five digits.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/rtl/Exception.h"

// One argument of the formatting constructor: a string or an integer.
class TZAFormatArg {
public:
    TZAFormatArg(const std::string& s) : isText_(true), text_(s) {}
    TZAFormatArg(const char* s) : isText_(true), text_(s ? s : "") {}
    TZAFormatArg(const std::u16string& s);
    TZAFormatArg(int v) : number_(v) {}
    TZAFormatArg(long v) : number_(v) {}
    TZAFormatArg(long long v) : number_(v) {}
    TZAFormatArg(unsigned v) : number_(v) {}
    TZAFormatArg(unsigned long v) : number_(static_cast<int64_t>(v)) {}
    TZAFormatArg(unsigned long long v) : number_(static_cast<int64_t>(v)) {}

    bool IsText() const { return isText_; }
    // The argument as "%s" shows it (numbers in decimal).
    std::string AsText() const;
    // The argument as "%d" shows it (texts as they stand).
    std::string AsNumber() const;

private:
    bool isText_ = false;
    std::string text_;
    int64_t number_ = 0;
};

// printf-style formatting with "%s", "%d" and "%%"; a placeholder without an
// argument is kept as it stands, so a short argument list never reads past
// its end.
std::string ZAFormat(const std::string& format, const std::vector<TZAFormatArg>& args);

class EZAException : public Exception {
public:
    // componentName: the name of the raising archiver component, or empty.
    explicit EZAException(int nativeError, const std::string& componentName = std::string());
    EZAException(int nativeError, std::initializer_list<TZAFormatArg> args,
                 const std::string& componentName = std::string());
    EZAException(int nativeError, const std::vector<TZAFormatArg>& args,
                 const std::string& componentName = std::string());

    // The code's text followed by what the system said caused it.
    static EZAException WithCause(int nativeError, const std::string& cause,
                                  const std::string& componentName = std::string());

    int32_t ErrorCode = 0;   // index of the message text (0..37)
    int32_t NativeError = 0; // the code the raiser passed

    // The text index for a native code (0, "Unknown error", when unknown).
    static int32_t TextIndexOf(int nativeError);
    // The message text with the given index (empty outside 0..37).
    static std::string Text(int32_t errorCode);
    static constexpr int kTextCount = 38;
    static constexpr int kCodeCount = 63;

private:
    struct Built {
        std::string message;
    };
    EZAException(int nativeError, Built built);
    static std::string BuildMessage(int nativeError, const std::vector<TZAFormatArg>* args,
                                    const std::string& componentName, const std::string& cause = std::string());
};

// Texts of the archiver's prompts and default messages.
namespace ZAPromptTexts {
inline constexpr const char* Overwrite = "Overwrite file \"%s\" with \"%s\"";
inline constexpr const char* PasswordCaption = "Password for \"%s\"";
inline constexpr const char* PasswordLabel = "Enter password: ";
inline constexpr const char* InsertBlankDisk = "Please insert a blank disk #%d";
inline constexpr const char* InsertFirstDisk = "Please insert the first disk";
inline constexpr const char* InsertLastDisk = "Please insert the last disk";
inline constexpr const char* InsertDisk = "Please insert disk #%d";
inline constexpr const char* DiskFull =
    "Disk is full. Required free space: %d bytes, but available only: %d bytes. "
    "Clean the disk or find another blank disk";
inline constexpr const char* ProcessingError = "%s. File processing error, possibly disk is full";
inline constexpr const char* FileNotOnDisk =
    "File '%s' not found on inserted disk. Please insert last disk with required file";
} // namespace ZAPromptTexts
