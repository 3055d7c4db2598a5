#pragma once
// Texts between the portfolio and the edit controls of the pages and
// dialogs. Main thread only.
#include "platform/rtl/FileName.h"

#include <QString>
#include <string>

// A plain text for an edit control. Line breaks come back from the
// portfolio as CR LF; a multi-line edit shows LF only, and hands LF back,
// which the portfolio stores as the same line break.
inline QString ToEditText(const std::string& text)
{
    QString value = QString::fromStdString(text);
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return value;
}

// The caption of an attach button: the file's name, or the invitation.
inline QString AttachCaption(const std::string& path)
{
    const std::string name = ExtractFileName(path);
    return name.empty() ? QStringLiteral("Click to attach a file...") : QString::fromStdString(name);
}
