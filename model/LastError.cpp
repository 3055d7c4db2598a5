#include "model/LastError.h"

LastError::LastError() = default;

LastError::~LastError() = default;

std::string LastError::GetText() const
{
    return text_;
}

void LastError::SetText(const std::string& text)
{
    text_ = text;
}
