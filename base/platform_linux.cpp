// Linux implementation of base/platform.h.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "base/format.h"
#include "base/interrupt_paths.h"
#include "base/platform.h"

namespace qv {

std::string FullPathName(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  std::string text = absolute.lexically_normal().string();
  // "dir/" normalises to "dir/"; a full path names the entry itself.
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// Names differ by case here.
std::string FileNameKey(const std::string& path) {
  return FullPathName(path);
}

int SystemErrorCode(int error) {
  return error;
}

// A terminal takes UTF-8 as it is.
void WriteText(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::string SystemErrorText(int error) {
  char buffer[256];
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return OneLineText(text ? text : "");
}

std::string ExecutablePath() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void SetBinaryStandardInput() {}

void SetCurrentThreadName(const std::string& name) {
  // The kernel keeps 15 bytes plus the terminator.
  std::string cut = name.substr(0, 15);
  pthread_setname_np(pthread_self(), cut.c_str());
}

void SetUiThreadName(const std::string& name) {
  // The first thread's id is the process id; its name is the process's name.
  if (static_cast<pid_t>(syscall(SYS_gettid)) == getpid()) return;
  SetCurrentThreadName(name);
}

std::string CurrentThreadName() {
  char buffer[64] = {};
  if (pthread_getname_np(pthread_self(), buffer, sizeof buffer) != 0) return std::string();
  return buffer;
}

uint64_t CurrentThreadId() {
  return static_cast<uint64_t>(syscall(SYS_gettid));
}

namespace {

// Levels map onto nice values around the main thread's nice value, the nearest
// thing Linux has to a process priority class. Raising above it needs privilege.
int ProcessNice(int& nice) {
  errno = 0;
  nice = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
  return nice == -1 ? errno : 0;
}

int NiceOfLevel(int base, int level) {
  const int nice = base - level;
  return nice < -20 ? -20 : (nice > 19 ? 19 : nice);
}

}  // namespace

int SetThreadPriorityLevel(uint64_t thread_id, int level) {
  int base = 0;
  if (const int error = ProcessNice(base)) return error;
  const int nice = NiceOfLevel(base, level);
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(thread_id), nice) != 0) return errno;
  return 0;
}

int GetThreadPriorityLevel(uint64_t thread_id, int& level) {
  int base = 0;
  if (const int error = ProcessNice(base)) return error;
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread_id));
  if (nice == -1 && errno != 0) return errno;
  level = base - nice;
  return 0;
}

int AppliedThreadPriorityLevel(int level) {
  int base = 0;
  if (ProcessNice(base) != 0) return level;
  return base - NiceOfLevel(base, level);
}

uint32_t TickCount32() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

uint64_t PhysicalMemoryLimit() {
  static const uint64_t limit = [] {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0) return uint64_t{1} << 40;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
  }();
  return limit;
}

namespace {

// The number at the start of a small file; false for "max", a missing file or
// anything else.
bool ReadLimitFile(const std::string& path, uint64_t& value) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
    return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  value = number;
  return true;
}

// The smallest memory limit of the process's control group and the groups
// above it, v2 (memory.max) or v1 (memory.limit_in_bytes, which reads as a
// huge number when unset); UINT64_MAX when none is set or none can be read.
uint64_t ControlGroupMemoryLimit() {
  uint64_t limit = UINT64_MAX;
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  while (std::getline(groups, line)) {
    // "<id>:<controllers>:<path>"; v2 has id 0 and no controllers.
    const size_t first = line.find(':');
    const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    std::string group = line.substr(second + 1);
    std::vector<std::pair<std::string, const char*>> places;
    if (controllers.empty()) {
      places = {{"/sys/fs/cgroup", "memory.max"}, {"/sys/fs/cgroup/unified", "memory.max"}};
    } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
      places = {{"/sys/fs/cgroup/memory", "memory.limit_in_bytes"}};
    } else {
      continue;
    }
    for (const auto& [mount, file] : places) {
      // A limit on any group above applies as well.
      for (std::string path = group;;) {
        uint64_t value = 0;
        if (ReadLimitFile(mount + path + (path.size() > 1 ? "/" : "") + file, value))
          limit = std::min(limit, value);
        if (path.size() <= 1) break;
        const size_t slash = path.rfind('/');
        path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
      }
    }
  }
  return limit;
}

// Bytes of address space the process has mapped now.
uint64_t MappedAddressSpace() {
  uint64_t pages = 0;
  if (!ReadLimitFile("/proc/self/statm", pages)) return 0;
  return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

uint64_t ProcessMemoryLimit() {
  // The group's limit is read once; the address-space limit and what is mapped
  // change as the program runs.
  static const uint64_t group = ControlGroupMemoryLimit();
  uint64_t limit = std::min(PhysicalMemoryLimit(), group);
  rlimit address_space{};
  if (getrlimit(RLIMIT_AS, &address_space) == 0 && address_space.rlim_cur != RLIM_INFINITY) {
    const uint64_t mapped = MappedAddressSpace();
    const uint64_t cap = static_cast<uint64_t>(address_space.rlim_cur);
    limit = std::min(limit, cap > mapped ? cap - mapped : 0);
  }
  return limit;
}

bool ModuleOfAddress(const void* address, std::string& module_path, uintptr_t& offset) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return false;
  module_path = info.dli_fname;
  if (module_path.empty()) module_path = ExecutablePath();
  offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(info.dli_fbase);
  return true;
}

int OpenFileForReading(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    // A directory opens on Linux but is no file to read.
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
      ::close(fd);
      errno = EISDIR;
      return -1;
    }
  }
  return fd;
}

void CloseFile(int fd) {
  if (fd >= 0) ::close(fd);
}

int64_t ReadFile(int fd, void* buffer, int64_t count) {
  int64_t done = 0;
  char* out = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(fd, out + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t SeekFile(int fd, int64_t offset, int origin) {
  const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  return static_cast<int64_t>(::lseek(fd, static_cast<off_t>(offset), whence));
}

}  // namespace qv

#include <csignal>

namespace qv {
namespace {
int g_signal_pipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}
}  // namespace

int TerminationSignalDescriptor() {
  if (g_signal_pipe[0] >= 0) return g_signal_pipe[0];
  if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal_number, &action, nullptr);
  return g_signal_pipe[0];
}

void DrainTerminationSignals() {
  char buffer[64];
  while (g_signal_pipe[0] >= 0 && ::read(g_signal_pipe[0], buffer, sizeof buffer) > 0) {
  }
}

namespace {
// An eventfd counts the signals, so however many arrive one read empties it.
int MakeWakeDescriptor() {
  return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}
}  // namespace

int WakeDescriptor() {
  static const int descriptor = MakeWakeDescriptor();
  return descriptor;
}

void SignalWakeDescriptor() {
  const int descriptor = WakeDescriptor();
  if (descriptor < 0) return;
  const uint64_t one = 1;
  // A full counter (EAGAIN) is still readable: the wake-up is not lost.
  while (::write(descriptor, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void DrainWakeDescriptor() {
  const int descriptor = WakeDescriptor();
  if (descriptor < 0) return;
  uint64_t count = 0;
  while (::read(descriptor, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

bool WatchTerminationRequests(std::function<void()>) {
  return false;
}

int ShowSystemMessageBox(uintptr_t, const std::string&, const std::string&, unsigned) {
  return 0;
}

}  // namespace qv

#include <atomic>

namespace qv {

int CreateFileForWriting(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteFileFully(int fd, const void* buffer, int64_t count) {
  const char* in = static_cast<const char*>(buffer);
  while (count > 0) {
    // Linux moves at most about 2 GiB per call.
    const size_t piece = static_cast<size_t>(count < (int64_t{1} << 30) ? count : int64_t{1} << 30);
    const ssize_t n = ::write(fd, in, piece);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    in += n;
    count -= n;
  }
  return true;
}

bool CloseWrittenFile(int fd) {
  return ::close(fd) == 0 || errno == EINTR;
}

bool RenameFileOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

namespace {

constinit TInterruptPaths<char> g_delete_on_interrupt;

void OnInterrupt(int signal_number) {
  g_delete_on_interrupt.DeleteAll([](const char* path) { ::unlink(path); });
  // SA_RESETHAND restored the default action; the pending signal ends the
  // process on return, with the status a shell expects.
  ::raise(signal_number);
}

void InstallInterruptHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

void DeleteOnInterrupt(const std::string& path) {
  InstallInterruptHandlers();
  g_delete_on_interrupt.Add(path);
}

void KeepOnInterrupt(const std::string& path) {
  g_delete_on_interrupt.Remove(path);
}

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older kernels refuse it, harmlessly
#endif

void AdviseLargeBlock(void* block, size_t size) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(page - 1);
  if (end <= begin) return;
  void* const first = reinterpret_cast<void*>(begin);
  ::madvise(first, end - begin, MADV_HUGEPAGE);
  // A fresh mapping is made resident in one call: where each fault is a trip
  // to a hypervisor, faulting page by page costs several times the filling.
  // Memory that malloc hands back from its own free lists is resident already
  // and is left alone (walking it again would cost more than it saves).
  unsigned char resident = 0;
  if (::mincore(first, page, &resident) == 0 && (resident & 1) == 0)
    ::madvise(first, end - begin, MADV_POPULATE_WRITE);
}

size_t MemoryPageSize() {
  return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

char* AllocateWithGuardPage(size_t readable) {
  const size_t page = MemoryPageSize();
  void* area =
      ::mmap(nullptr, readable + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return nullptr;
  char* bytes = static_cast<char*>(area);
  if (::mprotect(bytes + readable, page, PROT_NONE) != 0) {
    ::munmap(area, readable + page);
    return nullptr;
  }
  return bytes;
}

void FreeWithGuardPage(char* area, size_t readable) {
  if (area != nullptr) ::munmap(area, readable + MemoryPageSize());
}

}  // namespace qv
