#pragma once
// Failures of the XML document layer. Both belong to the class library's
// exception family, so callers that catch Exception catch these too.
#include <string>

#include "platform/rtl/Exception.h"

// Misuse of a document or node (a second top-level element, a null node).
class EXMLDocError : public Exception {
public:
    using Exception::Exception;
};

// Text that is not well-formed XML. Line and column are 1-based and point at
// the place where the parser gave up (0 when unknown).
class EDOMParseError : public EXMLDocError {
public:
    EDOMParseError(const std::string& message, std::string reason, int line, int column)
        : EXMLDocError(message), reason_(std::move(reason)), line_(line), column_(column) {}

    const std::string& Reason() const { return reason_; }
    int Line() const { return line_; }
    int LinePos() const { return column_; }

private:
    std::string reason_;
    int line_;
    int column_;
};
