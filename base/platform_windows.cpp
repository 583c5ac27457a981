// Windows implementation of base/platform.h.
//
// Names are UTF-8 in the program and UTF-16 at the system: every file name
// goes through the wide-character calls, so Chinese paths work whatever the
// code page. Files are system handles wrapped in C runtime descriptors, so the
// rest of the program keeps its int descriptors.
//
// Error numbers: the interface carries errno-style ints. A failing system call
// stores its own error code, tagged with kSystemErrorTag, so that
// SystemErrorText can give the system's text for it; the few errno values the
// callers test or pass themselves (EEXIST, EBADF, ESPIPE, EIO) stay plain and
// are translated to the matching system codes for their text.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// windows.h first: the other system headers build on it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/format.h"
#include "base/interrupt_paths.h"
#include "base/platform.h"

namespace qv {
namespace {

constexpr int kSystemErrorTag = 0x20000000;

int Tagged(DWORD code) {
  return kSystemErrorTag | static_cast<int>(code & 0x0FFFFFFF);
}
void SetErrnoFromSystem() {
  errno = Tagged(GetLastError());
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), n, nullptr,
                      nullptr);
  return narrow;
}

// A file name for the wide calls: the full path in the \\?\ form, which a
// default system needs for names past 260 characters. That form is taken
// literally, so the path is made full and normalised first; devices (NUL,
// \\.\...) and names already in that form pass as they are.
std::wstring WidePath(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) return wide;
  const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return wide;
  full.resize(written);
  if (full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return full;
}

// The file name of a module (nullptr: the program), however long.
std::string ModuleFileName(HMODULE module) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return Utf8(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

HANDLE HandleOf(int fd) {
  return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Wraps a fresh handle in a descriptor; closes it when that fails.
int DescriptorFor(HANDLE handle, int flags) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

// Resolved at run time: the thread description calls exist from Windows 10
// version 1607 on, and the program must still start where they are missing.
template <typename Function>
Function Kernel32(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)))
                : nullptr;
}

}  // namespace

std::string FullPathName(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return path;
  return Utf8(full.data(), written);
}

std::string FileNameKey(const std::string& path) {
  // The file system's own folding: upper case by the invariant table, as NTFS
  // compares names.
  const std::wstring full = Wide(FullPathName(path));
  if (full.empty()) return std::string();
  std::wstring folded(full.size(), L'\0');
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, full.data(),
                              static_cast<int>(full.size()), folded.data(),
                              static_cast<int>(folded.size()), nullptr, nullptr, 0);
  if (n <= 0) return Utf8(full.data(), full.size());
  return Utf8(folded.data(), static_cast<size_t>(n));
}

namespace {

// The system's code for an error of the interface; false for an errno value
// the system has no code for.
bool SystemCodeOf(int error, DWORD& code) {
  if (error & kSystemErrorTag) {
    code = static_cast<DWORD>(error & ~kSystemErrorTag);
    return true;
  }
  switch (error) {
    case 0:
      code = ERROR_SUCCESS;
      break;
    case ENOENT:
      code = ERROR_FILE_NOT_FOUND;
      break;
    case EACCES:
      code = ERROR_ACCESS_DENIED;
      break;
    case EEXIST:
      code = ERROR_FILE_EXISTS;
      break;
    case EBADF:
      code = ERROR_INVALID_HANDLE;
      break;
    case ENOMEM:
      code = ERROR_NOT_ENOUGH_MEMORY;
      break;
    case ENOSPC:
      code = ERROR_DISK_FULL;
      break;
    case ESPIPE:
      code = ERROR_SEEK_ON_DEVICE;
      break;
    case EIO:
      code = ERROR_WRITE_FAULT;
      break;
    case EMFILE:
      code = ERROR_TOO_MANY_OPEN_FILES;
      break;
    case ENOTSUP:
      code = ERROR_NOT_SUPPORTED;
      break;
    default:
      return false;
  }
  return true;
}

}  // namespace

std::string SystemErrorText(int error) {
  DWORD code;
  if (!SystemCodeOf(error, code)) return OneLineText(std::strerror(error));
  // The system's own text in the user's language, however long (some pass
  // 256 characters and span lines).
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (n > 0 && buffer != nullptr) text = OneLineText(Utf8(buffer, n));
  if (buffer != nullptr) LocalFree(buffer);
  if (text.empty()) return "Error " + std::to_string(code);
  return text;
}

int SystemErrorCode(int error) {
  DWORD code;
  return SystemCodeOf(error, code) ? static_cast<int>(code) : error;
}

void WriteText(std::FILE* stream, const std::string& text) {
  HANDLE handle = HandleOf(_fileno(stream));
  DWORD mode = 0;
  if (text.empty() || !GetConsoleMode(handle, &mode)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  std::fflush(stream);
  const std::wstring wide = Wide(text);
  for (size_t done = 0; done < wide.size();) {
    // The console takes a limited amount at once.
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
    DWORD written = 0;
    if (!WriteConsoleW(handle, wide.data() + done, piece, &written, nullptr) || written == 0)
      return;
    done += written;
  }
}

std::string ExecutablePath() {
  return ModuleFileName(nullptr);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(Utf8(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return arguments;
  }
  if (argc > 1) arguments.assign(argv + 1, argv + argc);
  return arguments;
}

void SetBinaryStandardInput() {
  _setmode(_fileno(stdin), _O_BINARY);
}

void SetCurrentThreadName(const std::string& name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto set_description = Kernel32<SetDescription>("SetThreadDescription");
  if (set_description) set_description(GetCurrentThread(), Wide(name).c_str());
}

std::string CurrentThreadName() {
  using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  static const auto get_description = Kernel32<GetDescription>("GetThreadDescription");
  if (!get_description) return std::string();
  PWSTR text = nullptr;
  if (FAILED(get_description(GetCurrentThread(), &text)) || text == nullptr) return std::string();
  std::string name = Utf8(text, wcslen(text));
  LocalFree(text);
  return name;
}

uint64_t CurrentThreadId() {
  return GetCurrentThreadId();
}

// The levels are the system's own thread priorities (THREAD_PRIORITY_*),
// which are relative to the process's priority class already.
int SetThreadPriorityLevel(uint64_t thread_id, int level) {
  HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, static_cast<DWORD>(thread_id));
  if (thread == nullptr) return Tagged(GetLastError());
  const int error = ::SetThreadPriority(thread, level) ? 0 : Tagged(GetLastError());
  CloseHandle(thread);
  return error;
}

int GetThreadPriorityLevel(uint64_t thread_id, int& level) {
  HANDLE thread =
      OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(thread_id));
  if (thread == nullptr) return Tagged(GetLastError());
  const int priority = ::GetThreadPriority(thread);
  const int error = priority == THREAD_PRIORITY_ERROR_RETURN ? Tagged(GetLastError()) : 0;
  CloseHandle(thread);
  if (error == 0) level = priority;
  return error;
}

int AppliedThreadPriorityLevel(int level) {
  return level;
}

uint32_t TickCount32() {
  return GetTickCount();
}

// Naming the first thread renames nothing else here.
void SetUiThreadName(const std::string& name) {
  SetCurrentThreadName(name);
}

uint64_t ProcessMemoryLimit() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  uint64_t limit = PhysicalMemoryLimit();
  // What the address space still has room for, beside what is mapped now.
  if (GlobalMemoryStatusEx(&status) && status.ullAvailVirtual < limit)
    limit = status.ullAvailVirtual;
  return limit;
}

// No descriptor to watch: the application wakes the UI thread through its
// event queue instead.
int WakeDescriptor() {
  return -1;
}
void SignalWakeDescriptor() {}
void DrainWakeDescriptor() {}

uint64_t PhysicalMemoryLimit() {
  static const uint64_t limit = [] {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalPhys == 0) return uint64_t{1} << 40;
    // A job object's limit shows in the virtual size as well.
    return status.ullTotalPhys < status.ullTotalVirtual ? status.ullTotalPhys
                                                        : status.ullTotalVirtual;
  }();
  return limit;
}

bool ModuleOfAddress(const void* address, std::string& module_path, uintptr_t& offset) {
  HMODULE module = nullptr;
  if (address == nullptr || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                static_cast<LPCWSTR>(address), &module))
    return false;
  module_path = ModuleFileName(module);
  if (module_path.empty()) return false;
  offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module);
  return true;
}

int OpenFileForReading(const std::string& path) {
  // Other readers are welcome, writers are refused while the file is open.
  HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    SetErrnoFromSystem();
    return -1;
  }
  return DescriptorFor(handle, _O_RDONLY);
}

void CloseFile(int fd) {
  if (fd >= 0) _close(fd);
}

int64_t ReadFile(int fd, void* buffer, int64_t count) {
  HANDLE handle = HandleOf(fd);
  int64_t done = 0;
  char* out = static_cast<char*>(buffer);
  while (done < count) {
    const DWORD piece =
        static_cast<DWORD>(count - done < (int64_t{1} << 30) ? count - done : int64_t{1} << 30);
    DWORD n = 0;
    if (!::ReadFile(handle, out + done, piece, &n, nullptr)) {
      // The writer of a pipe closing it is the pipe's end of file.
      if (GetLastError() != ERROR_BROKEN_PIPE) SetErrnoFromSystem();
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t SeekFile(int fd, int64_t offset, int origin) {
  HANDLE handle = HandleOf(fd);
  // A pipe or console has no position; the system would pretend it has one.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    errno = ESPIPE;
    return -1;
  }
  const DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance{}, position{};
  distance.QuadPart = offset;
  if (!SetFilePointerEx(handle, distance, &position, method)) {
    SetErrnoFromSystem();
    return -1;
  }
  return position.QuadPart;
}

}  // namespace qv

namespace qv {
namespace {

// Log-off, shutdown and console interrupts arrive as calls on system threads
// here, not as signals; the handler hands them to the program.
std::mutex g_request_mutex;
std::function<void()> g_request;

// Called under the lock, so that clearing the request waits for a call in
// progress; a request only posts a message, so the lock is short.
void Request() {
  std::lock_guard lock(g_request_mutex);
  if (g_request) g_request();
}

// The session ends when the handler of WM_ENDSESSION returns, whatever the
// program is doing. Holding it lets the program halt in order; the process's
// own exit ends this wait.
[[noreturn]] void WaitForProcessExit() {
  for (;;) Sleep(INFINITE);
}

LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE;  // nothing objects
    case WM_ENDSESSION:
      if (wparam) {
        Request();
        WaitForProcessExit();
      }
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  Request();
  // Closing the console, log-off and shutdown end the process on return.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    WaitForProcessExit();
  return TRUE;
}

// A hidden top-level window of its own thread: the session messages go to
// top-level windows only, and this one answers even while the user-interface
// thread is busy. `ready` is set once the thread waits for messages (or has
// given up): a process that ends while the thread is still making its window
// kills it inside the window system, with the system's locks held, and the
// process's own exit then waits on them for ever.
void RunSessionWindow(std::promise<void> ready) {
  SetCurrentThreadName("Session");
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = SessionWindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"QuorvaneSessionWindow";
  HWND window = nullptr;
  if (RegisterClassW(&window_class)) {
    window = CreateWindowExW(0, window_class.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                             nullptr, window_class.hInstance, nullptr);
  }
  ready.set_value();
  if (window == nullptr) return;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int TerminationSignalDescriptor() {
  return -1;
}

void DrainTerminationSignals() {}

bool WatchTerminationRequests(std::function<void()> request) {
  {
    std::lock_guard lock(g_request_mutex);
    g_request = std::move(request);
  }
  static std::once_flag started;
  std::call_once(started, [] {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    std::promise<void> ready;
    std::future<void> made = ready.get_future();
    std::thread(RunSessionWindow, std::move(ready)).detach();
    made.wait();
  });
  return true;
}

int ShowSystemMessageBox(uintptr_t owner, const std::string& text, const std::string& caption,
                         unsigned flags) {
  return MessageBoxW(reinterpret_cast<HWND>(owner), Wide(text).c_str(), Wide(caption).c_str(),
                     flags);
}

}  // namespace qv

namespace qv {

int CreateFileForWriting(const std::string& path) {
  // Shared for deletion, so that an interrupt can remove the file while it is open.
  HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    errno = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? EEXIST : Tagged(code);
    return -1;
  }
  return DescriptorFor(handle, _O_WRONLY);
}

bool WriteFileFully(int fd, const void* buffer, int64_t count) {
  HANDLE handle = HandleOf(fd);
  const char* in = static_cast<const char*>(buffer);
  while (count > 0) {
    const DWORD piece = static_cast<DWORD>(count < (int64_t{1} << 30) ? count : int64_t{1} << 30);
    DWORD n = 0;
    if (!::WriteFile(handle, in, piece, &n, nullptr)) {
      SetErrnoFromSystem();
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    in += n;
    count -= n;
  }
  return true;
}

bool CloseWrittenFile(int fd) {
  if (_close(fd) == 0) return true;
  SetErrnoFromSystem();
  return false;
}

bool RenameFileOver(const std::string& from, const std::string& to) {
  if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  SetErrnoFromSystem();
  return false;
}

bool RemoveFile(const std::string& path) {
  if (DeleteFileW(WidePath(path).c_str())) return true;
  SetErrnoFromSystem();
  return false;
}

bool IsReadOnlyFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

namespace {

constinit TInterruptPaths<wchar_t> g_delete_on_interrupt;

// Runs on a thread of its own, beside the program.
BOOL WINAPI OnInterrupt(DWORD) {
  g_delete_on_interrupt.DeleteAll([](const wchar_t* path) { DeleteFileW(path); });
  // Not handled: the next handler, finally the system's, ends the process.
  return FALSE;
}

void InstallInterruptHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] { SetConsoleCtrlHandler(OnInterrupt, TRUE); });
}

}  // namespace

void DeleteOnInterrupt(const std::string& path) {
  InstallInterruptHandler();
  g_delete_on_interrupt.Add(WidePath(path));
}

void KeepOnInterrupt(const std::string& path) {
  g_delete_on_interrupt.Remove(WidePath(path));
}

// Large pages need a privilege ordinary users lack, and fresh allocations
// are committed on first touch without a costly round trip per page here.
void AdviseLargeBlock(void*, size_t) {}

size_t MemoryPageSize() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwPageSize;
}

char* AllocateWithGuardPage(size_t readable) {
  const size_t page = MemoryPageSize();
  char* area = static_cast<char*>(
      VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (area == nullptr) return nullptr;
  DWORD old = 0;
  if (!VirtualProtect(area + readable, page, PAGE_NOACCESS, &old)) {
    VirtualFree(area, 0, MEM_RELEASE);
    return nullptr;
  }
  return area;
}

void FreeWithGuardPage(char* area, size_t) {
  if (area != nullptr) VirtualFree(area, 0, MEM_RELEASE);
}

}  // namespace qv
