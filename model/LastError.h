#pragma once
#include <string>

// Keeps the text of an object's last failure. Classes that report failures by
// a false result derive from it first; a caller reads the text after a false
// result. The text is never cleared here: it holds whatever was set last.
class LastError {
public:
    LastError();
    ~LastError();

    std::string GetText() const;
    void SetText(const std::string& text);

private:
    std::string text_;
};
