#pragma once
// Named objects shared between processes of the current user, in the shape
// the program calls them: a named mutex that marks the one running instance,
// and a named pipe over which a second start hands its command line over.
//
// Both live in one private folder of the user, in the same place however
// the program is started: $XDG_CACHE_HOME (else ~/.cache)/VelmoraVoravev/
// instance-<host>/, one per machine for a home shared between machines.
// Nobody else can make it first; it is made with mode 0700, and one that is
// there must be a real folder of ours that nobody else may enter, or nothing
// is made in it (ERROR_ACCESS_DENIED).
//
// - A mutex is a lock file "<name>.lock" taken with flock. It is held, not
//   merely opened: the kernel frees it when its holder ends in any way, so a
//   killed instance leaves no stale lock behind.
// - A pipe "\\.\pipe\<name>" is a Unix stream socket "<name>.pipe". One
//   connection carries one message, ended by the client closing its end.
//   The first CreateNamedPipeA binds and listens; each instance handle it
//   returns is one accepted connection. Only peers of our own user are
//   served (the folder's mode and the peer's credentials). However long
//   the home and host names make the socket's path, it is reached (through
//   a descriptor of the folder when the path is longer than a socket
//   address holds).
//
// Every call returns null (or false) on failure and leaves its reason for
// GetLastError, per thread, as the error codes below.
#include <cstdint>
#include <string>

using DWORD = uint32_t;

struct IpcObject;
using HANDLE = IpcObject*;

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_BROKEN_PIPE = 109;
inline constexpr DWORD ERROR_SEM_TIMEOUT = 121;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_PIPE_BUSY = 231;
inline constexpr DWORD ERROR_NO_DATA = 232;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_PIPE_CONNECTED = 535;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;

inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD PIPE_ACCESS_INBOUND = 1;
inline constexpr DWORD PIPE_TYPE_MESSAGE = 4;
inline constexpr DWORD PIPE_READMODE_MESSAGE = 2;
inline constexpr DWORD PIPE_WAIT = 0;
inline constexpr DWORD PIPE_UNLIMITED_INSTANCES = 255;

// The error of the calling thread's last failed call (0 after a success).
DWORD GetLastError();
void SetLastError(DWORD error);

// Closes any handle of this layer: a mutex handle lets go of its lock, a
// client pipe ends its message, a server instance drops its connection.
bool CloseHandle(HANDLE handle);

// The folder of the named objects, ending in "/" (not created here); empty
// when the user has no home folder.
std::string GetIpcFolder();
// Where the objects of these names live (for tests and diagnostics).
std::string MutexLockPath(const std::string& name);
std::string NamedPipeSocketPath(const std::string& pipeName);

// Only the owned form exists: initialOwner must be true. The lock is taken
// at once without waiting; when another handle (of any process) holds it,
// the handle is returned anyway, unowned, and GetLastError is
// ERROR_ALREADY_EXISTS, as for a mutex that already existed.
HANDLE CreateMutexA(const void* securityAttributes, bool initialOwner, const std::string& name);

// Server side. pipeName is "\\.\pipe\<name>"; only an inbound, waiting pipe
// is offered (PIPE_ACCESS_INBOUND with PIPE_WAIT); the other numbers are
// accepted and not needed. The socket is bound on the first call and kept
// for the later instances until ShutdownNamedPipe. A socket file left by an
// instance that died is replaced only by the process holding the mutex of
// the same name; without it an existing socket fails the call with
// ERROR_ACCESS_DENIED.
HANDLE CreateNamedPipeA(const std::string& pipeName, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                        DWORD outBufferSize, DWORD inBufferSize, DWORD defaultTimeOut,
                        const void* securityAttributes);
// Waits for a client of our own user (others are dropped unheard) and
// makes it this instance's connection. False with ERROR_OPERATION_ABORTED
// once the pipe is shut down.
bool ConnectNamedPipe(HANDLE instance, void* overlapped);
// From now on, the connection's reads fail with ERROR_SEM_TIMEOUT once
// milliseconds have passed: a client that stalls cannot hold the server.
bool SetNamedPipeConnectionDeadline(HANDLE instance, DWORD milliseconds);
// Reads what has arrived, up to size bytes, waiting for some. The end of
// the client's message reads as false with ERROR_BROKEN_PIPE.
bool ReadFile(HANDLE instance, void* buffer, DWORD size, DWORD* bytesRead, void* overlapped);
// Wakes every waiting ConnectNamedPipe and ReadFile of the pipe (they fail
// with ERROR_OPERATION_ABORTED), stops listening and removes the socket
// file when it is still the one bound here. Other threads may still close
// their instance handles afterwards.
void ShutdownNamedPipe(const std::string& pipeName);

// Client side: access GENERIC_WRITE, creation OPEN_EXISTING; the sharing,
// flags and template arguments are not needed. A missing socket or one
// nobody listens on fails with ERROR_FILE_NOT_FOUND, a server that cannot
// take more connections now with ERROR_PIPE_BUSY, a socket of another user
// with ERROR_ACCESS_DENIED.
HANDLE CreateFileA(const std::string& pipeName, DWORD access, DWORD shareMode, const void* securityAttributes,
                   DWORD creation, DWORD flags, HANDLE templateFile);
// Waits until the pipe's socket is there (at least a short moment, so that
// a caller retrying a refusing socket does not spin); false with
// ERROR_SEM_TIMEOUT when timeOut milliseconds pass first.
bool WaitNamedPipeA(const std::string& pipeName, DWORD timeOut);
// Writes the whole buffer (never raising SIGPIPE); *written is what went out.
bool WriteFile(HANDLE client, const void* data, DWORD size, DWORD* written, void* overlapped);
