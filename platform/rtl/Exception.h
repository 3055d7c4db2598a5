#pragma once
// The base of the class library's exception family: every failure that the
// program reports by throwing carries a message text.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Raised when a file stream cannot open or create its file.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

// Raised when a stream cannot read or write the requested number of bytes.
class EReadError : public Exception {
public:
    using Exception::Exception;
};

class EWriteError : public Exception {
public:
    using Exception::Exception;
};
