#pragma once
// Path helpers shared by the whole program. Stored paths may come from the
// Windows program ("C:\Art\a.jpg") or from here ("/home/u/a.jpg"), so the
// file-name part is split at both separators.
#include <cstddef>
#include <string>
#include <string_view>

// The part after the last "\" or "/".
std::string ExtractFileName(std::string_view path);
// Everything up to and including the last "\" or "/" (empty when none).
std::string ExtractFilePath(std::string_view path);
// The extension of the file-name part with its dot (".jpg"), or empty.
std::string ExtractFileExt(std::string_view path);
// Replaces (or appends) the extension of the file-name part; ext has its dot.
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// Appends "/" unless the path already ends in a separator.
std::string IncludeTrailingPathDelimiter(std::string_view path);
// The file-name part of path, or empty when that part cannot name a file of
// its own inside a folder ("", "." or "..").
std::string SafeFileName(std::string_view path);

// The longest file name most file systems take, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;
// name with suffix put before its extension, its stem cut so that the whole
// fits kMaxFileNameBytes, never inside a UTF-8 sequence. A leading dot
// starts a name, not an extension; an extension too long to be one is part
// of the name. Every place that writes or names such a file uses this one
// cut, so that the page and the file agree.
std::string FitFileName(std::string_view name, std::string_view suffix = {});
