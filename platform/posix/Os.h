// The operating system as the Windows emulation sees it: plain C++ types only.
//
// Files that include platform/Win32.h never include POSIX headers (the Winsock
// names clash with <sys/socket.h>); they reach the system through this header,
// which is implemented by the Os*.cpp files, the only ones here that include
// POSIX headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace os {

// Milliseconds of a monotonic clock.
std::int64_t monotonicMs();
// The local wall-clock time: year, month (1-12), day of week (0 Sunday), day,
// hour, minute, second, millisecond.
struct LocalTime {
  int year, month, dayOfWeek, day, hour, minute, second, millisecond;
};
LocalTime localTime();
void sleepMs(unsigned ms);

// Readiness bits of a poll item (mapped to poll(2) flags inside).
enum : short {
  kPollIn = 0x01,
  kPollOut = 0x02,
  kPollErr = 0x04,
  kPollHup = 0x08,
  kPollRdHup = 0x10,  // the peer shut down its sending side
};

struct PollItem {
  int fd;
  short events;
  short revents;
};

// Waits until an item is ready or the time-out (ms, -1 = none) passes.
// Returns the number of ready items, 0 on time-out; interrupted waits count as
// time-outs.
int poll(PollItem* items, std::size_t count, int timeoutMs);

// A descriptor that a thread can wait on in poll() and that any thread can
// make readable.
class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;

  int fd() const { return fd_; }
  void wake();
  void drain();

 private:
  int fd_;
};

// Requests by signal: after watchSignalRequests, each SIGUSR1 the process
// receives makes the returned descriptor readable (the handler does nothing
// else). -1 when it cannot be set up. takeSignalRequests returns how many
// arrived since it was last called.
int watchSignalRequests();
int takeSignalRequests(int fd);

// The value of an environment variable, empty when unset. Only the
// platform's observation reads the environment.
std::string environment(const char* name);

// The current directory, or an empty text if it cannot be read.
std::string currentDirectory();
bool setCurrentDirectory(const std::string& path);

// Files. Paths given here are already POSIX paths; resolvePath makes one of a
// Windows path.

// Backslashes become slashes, and each component that does not exist as
// written is matched case-insensitively against the names in its folder (an
// exact match wins; the first name in sorted order otherwise). Components
// that match nothing are kept as written, so a new file gets the given name.
std::string resolvePath(const std::string& windowsPath);

enum class FileAccess { Read, Write, ReadWrite, Append };
enum class FileCreation { CreateNew, CreateAlways, OpenExisting, OpenAlways, TruncateExisting };
// A descriptor, or -1 with errno set. Only regular files open: folders are
// refused with EISDIR, pipes, sockets and devices with EACCES, at once. A
// file created ownerOnly gets no permission for group and others.
int openFile(const std::string& path, FileAccess access, FileCreation creation, bool ownerOnly = false);
// Bytes moved, or -1 with errno set. Short counts only at end of file (read)
// or when the disk refuses more (write).
long readFile(int fd, void* buffer, unsigned long count);
long writeFile(int fd, const void* buffer, unsigned long count);
bool closeFile(int fd);
// Size of an open file, or -1.
long long fileSize(int fd);

struct FileInfo {
  bool exists = false;
  bool directory = false;
  bool writable = false;
};
FileInfo fileInfo(const std::string& path);
bool removeFile(const std::string& path);
// rename(2): replaces an existing target atomically.
bool renameFile(const std::string& from, const std::string& to);
// fsync(2): the file's data and size are on the disk when it returns.
bool syncFile(int fd);
// fsync(2) of the folder that holds each path (once when they share it), so
// that names made or removed there survive a power cut. A file system that
// cannot flush a folder (EINVAL) has nothing to flush.
bool syncFoldersOf(const std::string& first, const std::string& second);
// The file a write through path reaches: the end of its chain of symbolic
// links (which need not exist yet), or path itself.
std::string followLinks(const std::string& path);
// Puts the file from in to's place (to names no link: see followLinks), as
// a write through the name would leave it: the mode and, where this process
// may set it, the owner of the file replaced pass to the new one, and when
// to lies on another file system than from, the content is copied beside it
// first (then from is removed). Atomic for the replaced file. False with
// errno set on failure.
bool replaceFile(const std::string& from, const std::string& to);
// Gives the regular file installed (which names no link) the second name
// kept, replacing a file of that name, or, when the file system refuses a
// second name there, puts a flushed copy with its mode and owner there; then
// flushes kept's folder. False with errno set (EISDIR for a folder).
bool keepFile(const std::string& installed, const std::string& kept);

// Programs.
enum class StartResult { Started, FileNotFound, PathNotFound, AccessDenied, NotAProgram, Failed };
struct StartOutcome {
  StartResult result;
  int pid;  // when started
};
// Starts the program file at path, with parameters split at blanks, in
// directory (empty = ours), and does not wait for it. The program runs in a
// session of its own, with /dev/null as standard input, output and error, and
// outlives us. A program file is an ELF executable or
// a script beginning with "#!"; one without execute permission gets it where
// it has read permission first, since a downloaded program file carries no
// such bit.
StartOutcome startProgram(const std::string& path, const std::string& parameters, const std::string& directory);

// errno of the calling thread.
int lastErrno();

// Maps an errno value to a Win32 error code (ERROR_...).
unsigned win32ErrorFromErrno(int err);
// The system's text of an errno value.
std::string errnoText(int err);

}  // namespace os
