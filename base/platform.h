// The few operating-system services the program needs, in one place, so that
// a port to another system replaces this file and nothing else in base/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

namespace qv {

// File names are UTF-8 strings throughout the program. std::filesystem reads
// a plain char string in the system's narrow code page on Windows, so names
// cross into it, and back, as UTF-8 explicitly.
inline std::filesystem::path PathFromUtf8(std::string_view name) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}
inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// What follows the last folder separator of `path`: '/' or '\\' (Windows
// paths use both; a Linux program's own path holds no backslash).
inline std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
// Absolute, lexically normalised form of `path` (no file system access).
std::string FullPathName(const std::string& path);
// The key under which the file system knows `path`: its full path, folded the
// way the file system compares names (Windows: without regard to case), so
// that two keys are equal when the names reach the same file.
std::string FileNameKey(const std::string& path);
// The system's text for an error number, on one line, without trailing
// blanks, control characters and full stops; "Error N" when the system has none.
std::string SystemErrorText(int error);
// The number the system itself gives that error (Windows: its error code, as
// its documentation and other programs show it; elsewhere errno itself).
int SystemErrorCode(int error);
// Writes UTF-8 text to standard output or error: a console gets it as
// characters (a Windows console shows bytes in its own code page), a file or
// pipe the bytes themselves.
void WriteText(std::FILE* stream, const std::string& text);
// The running program's own file.
std::string ExecutablePath();
// The program's arguments after its name, in UTF-8. On Windows they come from
// the wide command line: argv there is in the narrow code page, which cannot
// hold every file name.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Standard input as bytes: Windows would otherwise turn CR LF into LF and
// stop at Ctrl+Z. Nothing to do elsewhere.
void SetBinaryStandardInput();
// Names the calling thread for debuggers, cut to the platform limit; never fails.
void SetCurrentThreadName(const std::string& name);
// Names the calling thread, the UI thread, for debuggers. Where the name of the
// process's first thread is the process's own name (Linux: ps, pgrep and killall
// read it), that thread keeps the program's name; any other thread takes `name`.
void SetUiThreadName(const std::string& name);
// The calling thread's name as debuggers see it (empty when it cannot be read).
std::string CurrentThreadName();
// The system's identifier of the calling thread (what debuggers and error texts show).
uint64_t CurrentThreadId();
// Scheduling priority of a live thread of this process, in levels relative to the
// process's own priority: 0 normal, -1/-2 lower, 1/2 higher, -15 idle, 15 time critical.
// Both return 0 on success, else the system's error number.
int SetThreadPriorityLevel(uint64_t thread_id, int level);
int GetThreadPriorityLevel(uint64_t thread_id, int& level);
// The level a thread reads back once `level` was set on it: the system may keep a
// nearby one when the requested one lies outside its range (Linux clamps nice values,
// so in a niced process several low levels read back alike).
int AppliedThreadPriorityLevel(int level);
// Milliseconds from a monotonic clock, wrapping at 32 bits.
uint32_t TickCount32();
// Upper bound for one allocation: a block bigger than the machine's memory
// would only be promised by the kernel and killed later.
uint64_t PhysicalMemoryLimit();
// Bytes of memory the process can have in all: the smallest of the machine's
// physical memory, what an address-space limit leaves beside the address space
// mapped now, and the memory limit of the process's control group.
uint64_t ProcessMemoryLimit();
// The file that holds `address` and the address's offset in it; false when the
// address lies in no loaded module.
bool ModuleOfAddress(const void* address, std::string& module_path, uintptr_t& offset);

// The readable (demangled) name of a type, its raw name when it cannot be made readable.
std::string DemangledTypeName(const std::type_info& type);
// The readable name of the exception's type being handled in a catch block,
// "unknown" when the type cannot be told.
std::string CurrentExceptionTypeName();

// Minimal file access for the read-only stream (errno set on failure).
int OpenFileForReading(const std::string& path);
void CloseFile(int fd);
int64_t ReadFile(int fd, void* buffer, int64_t count);
int64_t SeekFile(int fd, int64_t offset, int origin);  // origin: 0 begin, 1 current, 2 end

}  // namespace qv

namespace qv {

// Installs handlers for the signals that end a session (SIGTERM, SIGHUP,
// SIGINT) and returns a descriptor that becomes readable when one arrives; the
// handlers only write a byte to it. -1 when it cannot be set up.
int TerminationSignalDescriptor();
// Empties that descriptor after a wake-up.
void DrainTerminationSignals();
// Where the system delivers log-off, shutdown and interrupts as calls on its
// own threads rather than as signals (Windows), calls `request` from such a
// thread when one arrives; `request` must only hand it to the user-interface
// thread, and the program then ends as a close does, with code 0 (the system
// waits for that). Returns false where TerminationSignalDescriptor serves instead.
bool WatchTerminationRequests(std::function<void()> request);

// The system's own message box where the program shows those (Windows): the
// flags and the result are the system's MB_ and ID values, `owner` the
// system's handle of the owning window (0: none). Returns 0 where the system
// has no such box and the caller shows its own.
int ShowSystemMessageBox(uintptr_t owner, const std::string& text, const std::string& caption,
                         unsigned flags);

// The UI thread's wake-up: a descriptor that any thread makes readable with
// SignalWakeDescriptor and that the UI thread watches and empties with
// DrainWakeDescriptor. Made on first use, never closed; -1 when it cannot be
// made. Signalling never blocks and is safe from any thread. Only a wake-up
// passes through it, no data: what the woken thread reads is guarded by the
// reader's own locks.
int WakeDescriptor();
void SignalWakeDescriptor();
void DrainWakeDescriptor();

}  // namespace qv

namespace qv {

// Output files. A new file is created exclusively (failing when the name is
// taken) with the usual permissions less the umask; all return -1 or false
// with errno set on failure.
int CreateFileForWriting(const std::string& path);
// Writes all `count` bytes (retrying short writes); false on an error.
bool WriteFileFully(int fd, const void* buffer, int64_t count);
// Closes a written file; false when the system reports a late write error.
bool CloseWrittenFile(int fd);
// Renames `from` to `to` in one step, replacing a file of that name.
bool RenameFileOver(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// True when a file of that name exists and is marked read-only (no write
// permission for anyone; on Windows the read-only attribute).
bool IsReadOnlyFile(const std::string& path);
// Names a file to delete when an interrupt (SIGINT, SIGTERM, SIGHUP) ends the
// process before KeepOnInterrupt releases it; the signal then ends the process
// as it would have. A signal the process ignores stays ignored.
void DeleteOnInterrupt(const std::string& path);
void KeepOnInterrupt(const std::string& path);

// Asks for large pages behind a big, freshly allocated block that is about to
// be filled (one fault per 2 MiB instead of one per 4 KiB), and makes the pages
// of a block that is not resident yet resident at once. Only a hint: the
// block's contents are unchanged, and a system that cannot do it ignores it.
void AdviseLargeBlock(void* block, size_t size);

// The system's memory page size.
size_t MemoryPageSize();
// `readable` bytes (a multiple of the page size) followed by a page that
// faults when touched: shows that a reader stops before the end of its data.
// nullptr when it cannot be made.
char* AllocateWithGuardPage(size_t readable);
void FreeWithGuardPage(char* area, size_t readable);

}  // namespace qv
