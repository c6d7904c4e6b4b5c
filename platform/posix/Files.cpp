// File routines of the kernel over POSIX files. Paths are Windows paths.
#include "platform/DurableFile.h"
#include "platform/PrivateFile.h"
#include "platform/posix/Internal.h"

#include <cstring>

using namespace win32;

namespace {

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(fd) + 1); }
int fdOf(HANDLE h) { return static_cast<int>(reinterpret_cast<LONG_PTR>(h) - 1); }
bool validHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

void failFromErrno() { setLastError(os::win32ErrorFromErrno(os::lastErrno())); }

}  // namespace

// Share modes are not enforced: POSIX has no mandatory locks, and the program
// is the only writer of its files.
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD creation, DWORD,
                          HANDLE) {
  if (!path || !*path) {
    setLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  os::FileAccess mode = os::FileAccess::Read;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) mode = os::FileAccess::ReadWrite;
  else if (access & GENERIC_WRITE) mode = os::FileAccess::Write;
  else if (access & FILE_APPEND_DATA) mode = os::FileAccess::Append;
  os::FileCreation how;
  switch (creation) {
    case CREATE_NEW: how = os::FileCreation::CreateNew; break;
    case CREATE_ALWAYS: how = os::FileCreation::CreateAlways; break;
    case OPEN_EXISTING: how = os::FileCreation::OpenExisting; break;
    case OPEN_ALWAYS: how = os::FileCreation::OpenAlways; break;
    case TRUNCATE_EXISTING: how = os::FileCreation::TruncateExisting; break;
    default: setLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  const int fd = os::openFile(os::resolvePath(path), mode, how);
  if (fd < 0) {
    failFromErrno();
    return INVALID_HANDLE_VALUE;
  }
  return handleOf(fd);
}

HANDLE CreatePrivateFile(LPCSTR path) {
  if (!path || !*path) {
    setLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const int fd = os::openFile(os::resolvePath(path), os::FileAccess::Write, os::FileCreation::CreateNew, true);
  if (fd < 0) {
    failFromErrno();
    return INVALID_HANDLE_VALUE;
  }
  return handleOf(fd);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, OVERLAPPED*) {
  if (read) *read = 0;
  if (!validHandle(file)) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const long n = os::readFile(fdOf(file), buffer, toRead);
  if (n < 0) {
    failFromErrno();
    return FALSE;
  }
  if (read) *read = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, OVERLAPPED*) {
  if (written) *written = 0;
  if (!validHandle(file)) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const long n = os::writeFile(fdOf(file), buffer, toWrite);
  if (n < 0 || static_cast<DWORD>(n) < toWrite) {
    failFromErrno();
    if (written && n > 0) *written = static_cast<DWORD>(n);
    return FALSE;
  }
  if (written) *written = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
  if (!validHandle(file)) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!os::syncFile(fdOf(file))) {
    failFromErrno();
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
  if (!validHandle(object)) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!os::closeFile(fdOf(object))) {
    failFromErrno();
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  if (!validHandle(file)) {
    setLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  const long long size = os::fileSize(fdOf(file));
  if (size < 0) {
    failFromErrno();
    return INVALID_FILE_SIZE;
  }
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(static_cast<unsigned long long>(size) >> 32);
  return static_cast<DWORD>(size);
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
  if (!path || !*path) {
    setLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  const os::FileInfo info = os::fileInfo(os::resolvePath(path));
  if (!info.exists) {
    setLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = info.directory ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (!info.writable) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
  if (!path || !os::removeFile(os::resolvePath(path))) {
    failFromErrno();
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags) {
  if (!existing || !replacement) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string from = os::resolvePath(existing);
  // The target resolves to an existing file of another case, which it then
  // replaces, as on a case-insensitive file system. A symbolic link there is
  // followed, as a write through it would be: the link stays and the file
  // it leads to is replaced.
  const std::string to = os::followLinks(os::resolvePath(replacement));
  if (!(flags & MOVEFILE_REPLACE_EXISTING) && os::fileInfo(to).exists) {
    setLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  // The new file keeps the mode and owner the replaced one had (on Windows
  // a file moved within its folder keeps the access rights it inherited from
  // that folder, as the replaced one had them).
  if (!os::replaceFile(from, to)) {
    failFromErrno();
    return FALSE;
  }
  // A rename lives in the folders' entries: they reach the disk with a flush
  // of the folders, not of the file.
  if ((flags & MOVEFILE_WRITE_THROUGH) && !os::syncFoldersOf(from, to)) {
    failFromErrno();
    return FALSE;
  }
  return TRUE;
}

BOOL CommitMoveA(LPCSTR) { return TRUE; }

BOOL KeepInstalledFileA(LPCSTR path, LPCSTR kept) {
  if (!path || !kept) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!os::keepFile(os::followLinks(os::resolvePath(path)), os::resolvePath(kept))) {
    failFromErrno();
    return FALSE;
  }
  return TRUE;
}

namespace {

const char* systemMessage(DWORD id) {
  switch (id) {
    case ERROR_SUCCESS: return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
    case ERROR_TOO_MANY_OPEN_FILES: return "The system cannot open the file.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_HANDLE: return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough memory resources are available to process this command.";
    case ERROR_BAD_FORMAT: return "An attempt was made to load a program with an incorrect format.";
    case ERROR_WRITE_PROTECT: return "The media is write protected.";
    case ERROR_SHARING_VIOLATION:
      return "The process cannot access the file because it is being used by another process.";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_FILE_EXISTS: return "The file exists.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_INSUFFICIENT_BUFFER: return "The data area passed to a system call is too small.";
    case ERROR_INVALID_NAME: return "The filename, directory name, or volume label syntax is incorrect.";
    case ERROR_DIR_NOT_EMPTY: return "The directory is not empty.";
    case ERROR_ALREADY_EXISTS: return "Cannot create a file when that file already exists.";
    case ERROR_FILENAME_EXCED_RANGE: return "The filename or extension is too long.";
    case ERROR_NO_ASSOCIATION:
      return "No application is associated with the specified file for this operation.";
    case ERROR_DDE_FAIL: return "An error occurred in sending the command to the application.";
    case ERROR_DLL_NOT_FOUND: return "One of the library files needed to run this application cannot be found.";
    case ERROR_INVALID_WINDOW_HANDLE: return "Invalid window handle.";
    case ERROR_CLASS_ALREADY_EXISTS: return "Class already exists.";
    case ERROR_CLASS_DOES_NOT_EXIST: return "Class does not exist.";
    default: return "A device attached to the system is not functioning.";
  }
}

}  // namespace

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, void*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer || size == 0) {
    setLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text = std::string(systemMessage(messageId)) + "\r\n";
  if (text.size() + 1 > size) {
    setLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}
