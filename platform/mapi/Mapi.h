#pragma once
// Simple MAPI as the e-mail account calls it: a library that is "loaded",
// MAPILogon and MAPISendMail with their structures, flags and result codes.
// Here the library is xdg-email: sending hands subject, body and files to
// the user's mail client, whose compose window does the rest.
#include <cstdint>

using ULONG = unsigned long;
using FLAGS = unsigned long;
using LHANDLE = uintptr_t;

// Result codes.
enum : ULONG {
    SUCCESS_SUCCESS = 0,
    MAPI_USER_ABORT = 1,
    MAPI_E_FAILURE = 2,
    MAPI_E_LOGON_FAILURE = 3,
    MAPI_E_INSUFFICIENT_MEMORY = 5,
    MAPI_E_TOO_MANY_FILES = 9,
    MAPI_E_ATTACHMENT_NOT_FOUND = 11,
    MAPI_E_ATTACHMENT_OPEN_FAILURE = 12,
    MAPI_E_INVALID_MESSAGE = 17,
};

// Flags.
enum : FLAGS {
    MAPI_LOGON_UI = 0x1,
    MAPI_NEW_SESSION = 0x2,
    MAPI_DIALOG = 0x8,
};

struct MapiRecipDesc {
    ULONG ulReserved;
    ULONG ulRecipClass;
    char* lpszName;
    char* lpszAddress;
    ULONG ulEIDSize;
    void* lpEntryID;
};

struct MapiFileDesc {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;    // (ULONG)-1: the client places the file
    char* lpszPathName; // the file to attach
    char* lpszFileName; // the name the recipient sees; null: the file's own
    void* lpFileType;
};

struct MapiMessage {
    ULONG ulReserved;
    char* lpszSubject;
    char* lpszNoteText;
    char* lpszMessageType;
    char* lpszDateReceived;
    char* lpszConversationID;
    FLAGS flFlags;
    MapiRecipDesc* lpOriginator;
    ULONG nRecipCount;
    MapiRecipDesc* lpRecips;
    ULONG nFileCount;
    MapiFileDesc* lpFiles;
};

using LPMAPILOGON = ULONG (*)(uintptr_t ulUIParam, char* lpszProfileName, char* lpszPassword, FLAGS flFlags,
                              ULONG ulReserved, LHANDLE* lplhSession);
using LPMAPISENDMAIL = ULONG (*)(LHANDLE lhSession, uintptr_t ulUIParam, MapiMessage* lpMessage, FLAGS flFlags,
                                 ULONG ulReserved);

// The loaded library and its two entry points.
struct MapiLibrary {
    LPMAPILOGON MAPILogon;
    LPMAPISENDMAIL MAPISendMail;
};

// Null when the library cannot be loaded: xdg-email is not on PATH. Looked
// up on every call, so a PATH change takes effect.
const MapiLibrary* LoadMapiLibrary();
