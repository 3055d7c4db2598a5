#include "platform/mapi/Mapi.h"

#include <cerrno>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "platform/shell/PrivateCopy.h"
#include "platform/shell/Process.h"
#include "platform/shell/Shell.h"

namespace {

const char kProgram[] = "xdg-email";
// Attachments handed to the mail client live here: xdg-email returns as
// soon as the client has started, long before the user presses send, and
// the caller's own file may be gone by then.
const char kMailArea[] = "Mail";

// xdg-email's exit codes.
constexpr int kFileMissing = 2;
constexpr int kNoMailProgram = 3; // no desktop mail program and no way to find one
constexpr int kFileNotReadable = 5;

ULONG Logon(uintptr_t, char*, char*, FLAGS, ULONG, LHANDLE* session)
{
    // The mail client keeps its own sessions; there is nothing to open.
    if (session)
        *session = 1;
    return SUCCESS_SUCCESS;
}

// CR LF and lone CR become LF: xdg-email turns every CR into an extra line.
std::string WithLineFeeds(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

ULONG SendMail(LHANDLE, uintptr_t, MapiMessage* message, FLAGS, ULONG)
{
    if (!message)
        return MAPI_E_INVALID_MESSAGE;
    std::vector<std::string> args = {kProgram, "--utf8"};
    // xdg-email refuses an empty value, so an empty text leaves its option out.
    if (message->lpszSubject && *message->lpszSubject)
        args.insert(args.end(), {"--subject", message->lpszSubject});
    if (message->lpszNoteText && *message->lpszNoteText)
        args.insert(args.end(), {"--body", WithLineFeeds(message->lpszNoteText)});

    std::vector<std::string> copies;
    auto dropCopies = [&] {
        for (const auto& copy : copies)
            DeleteFolderTree(FolderOf(copy));
    };
    for (ULONG i = 0; i < message->nFileCount; ++i) {
        const MapiFileDesc& file = message->lpFiles[i];
        if (!file.lpszPathName || !*file.lpszPathName) {
            dropCopies();
            return MAPI_E_ATTACHMENT_NOT_FOUND;
        }
        int error = 0;
        const std::string copy =
            MakePrivateCopy(file.lpszPathName, kMailArea, file.lpszFileName ? file.lpszFileName : "", &error);
        if (copy.empty()) {
            dropCopies();
            return error == ENOENT || error == ENOTDIR ? MAPI_E_ATTACHMENT_NOT_FOUND : MAPI_E_ATTACHMENT_OPEN_FAILURE;
        }
        copies.push_back(copy);
        args.insert(args.end(), {"--attach", copy});
    }

    int status = 0;
    if (!RunAndWait(args, &status)) {
        dropCopies();
        return MAPI_E_FAILURE;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return SUCCESS_SUCCESS;
    dropCopies();
    if (WIFEXITED(status) && WEXITSTATUS(status) == kFileMissing)
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    if (WIFEXITED(status) && WEXITSTATUS(status) == kFileNotReadable)
        return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    // Nothing to log on to: the desktop names no mail program.
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoMailProgram)
        return MAPI_E_LOGON_FAILURE;
    return MAPI_E_FAILURE;
}

const MapiLibrary kLibrary = {Logon, SendMail};

} // namespace

const MapiLibrary* LoadMapiLibrary()
{
    return FindProgram(kProgram).empty() ? nullptr : &kLibrary;
}
