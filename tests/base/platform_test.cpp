// The platform interface as the rest of the program relies on it, on
// whichever system the tests run (Linux, and Windows under Wine).
#include "base/platform.h"

#include <gtest/gtest.h>

#include "base/format.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace qv {
namespace {

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "/" + name;
}

void WriteWhole(const std::string& path, const std::string& bytes) {
  const int fd = CreateFileForWriting(path);
  ASSERT_GE(fd, 0) << path << ": " << SystemErrorText(errno);
  ASSERT_TRUE(WriteFileFully(fd, bytes.data(), static_cast<int64_t>(bytes.size())));
  ASSERT_TRUE(CloseWrittenFile(fd));
}

std::string ReadWhole(const std::string& path) {
  const int fd = OpenFileForReading(path);
  if (fd < 0) {
    std::string failure = "failed: ";  // appended, not concatenated: GCC 12 warns falsely on that
    failure += SystemErrorText(errno);
    return failure;
  }
  const int64_t size = SeekFile(fd, 0, 2);
  SeekFile(fd, 0, 0);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  const int64_t got = ReadFile(fd, bytes.data(), size);
  CloseFile(fd);
  bytes.resize(static_cast<size_t>(got));
  return bytes;
}

// Names in any script reach the file system unchanged: Chinese folders are
// common where the program is used.
TEST(PlatformFiles, CreateReadRenameAndRemoveWithAnyName) {
  for (const std::string name : {"plain.bin", "图片 转换.jpg", "ÄÖÜ é.txt"}) {
    const std::string path = TempPath("qv_platform_" + name);
    const std::string renamed = path + ".moved";
    RemoveFile(path);
    RemoveFile(renamed);
    const std::string bytes("\xFF\xD8\r\n\x1A\0tail", 10);  // no text-mode translation
    WriteWhole(path, bytes);
    EXPECT_EQ(ReadWhole(path), bytes) << name;

    // The exclusive create refuses a taken name and says so.
    errno = 0;
    EXPECT_LT(CreateFileForWriting(path), 0) << name;
    EXPECT_EQ(errno, EEXIST) << name;

    // Renaming replaces a file of the target name.
    WriteWhole(renamed, "old");
    ASSERT_TRUE(RenameFileOver(path, renamed)) << name << ": " << SystemErrorText(errno);
    EXPECT_EQ(ReadWhole(renamed), bytes) << name;
    EXPECT_LT(OpenFileForReading(path), 0) << name;

    ASSERT_TRUE(RemoveFile(renamed)) << name;
    EXPECT_FALSE(RemoveFile(renamed)) << name;
  }
}

// What the open-failure message shows: the system's text, trimmed, for
// a missing file and for a folder, which is no file to read.
TEST(PlatformFiles, OpenFailuresCarryTheSystemsText) {
  for (const std::string& path :
       {TempPath("qv_no_such_file.jpg"), TempPath("qv_no_such_dir/x.jpg"), testing::TempDir()}) {
    errno = 0;
    EXPECT_LT(OpenFileForReading(path), 0) << path;
    const std::string text = SystemErrorText(errno);
    ASSERT_FALSE(text.empty()) << path;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_GT(static_cast<unsigned char>(text.back()), ' ') << text;
  }
}

// Read-only is the file's own mark (permissions, or the Windows attribute),
// the same whoever asks; a folder or a missing name is no read-only file.
TEST(PlatformFiles, ReadOnlyFilesAreTold) {
  namespace fs = std::filesystem;
  const std::string path = TempPath("qv_platform_read_only.bin");
  std::error_code left_over;  // a run that stopped half-way leaves a read-only file
  fs::permissions(PathFromUtf8(path), fs::perms::owner_write, fs::perm_options::add, left_over);
  RemoveFile(path);
  EXPECT_FALSE(IsReadOnlyFile(path)) << "missing";
  WriteWhole(path, "bytes");
  EXPECT_FALSE(IsReadOnlyFile(path));
  fs::permissions(PathFromUtf8(path),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_TRUE(IsReadOnlyFile(path));
  fs::permissions(PathFromUtf8(path), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_TRUE(RemoveFile(path));
  EXPECT_FALSE(IsReadOnlyFile(testing::TempDir())) << "a folder";
}

// Names past the 260 characters a default Windows allows without the long
// form: a deep folder works as any other.
TEST(PlatformFiles, DeepFoldersWork) {
  std::string folder = TempPath("qv_platform_deep");
  while (folder.size() < 300) folder += "/a_folder_name_of_some_thirty_chars";
  std::error_code error;
  std::filesystem::create_directories(PathFromUtf8(folder), error);
  if (error) GTEST_SKIP() << "the test cannot make " << folder << ": " << error.message();
  const std::string path = folder + "/图片.jpg";
  const std::string renamed = folder + "/renamed.jpg";
  RemoveFile(path);
  RemoveFile(renamed);
  WriteWhole(path, "deep bytes");
  EXPECT_EQ(ReadWhole(path), "deep bytes");
  ASSERT_TRUE(RenameFileOver(path, renamed)) << SystemErrorText(errno);
  EXPECT_EQ(ReadWhole(renamed), "deep bytes");
  EXPECT_FALSE(IsReadOnlyFile(renamed));
  EXPECT_TRUE(RemoveFile(renamed)) << SystemErrorText(errno);
  std::filesystem::remove_all(PathFromUtf8(TempPath("qv_platform_deep")), error);
}

// Two names are one output when the file system takes them for one file.
TEST(PlatformPaths, FileNameKeysCompareAsTheFileSystemDoes) {
  EXPECT_EQ(FileNameKey("dir/../out.hex"), FileNameKey("out.hex"));
  EXPECT_NE(FileNameKey("out.hex"), FileNameKey("out2.hex"));
#ifdef _WIN32
  EXPECT_EQ(FileNameKey("a.hex"), FileNameKey("A.HEX"));
  EXPECT_EQ(FileNameKey("ä 图片.hex"), FileNameKey("Ä 图片.hex"));
#else
  EXPECT_NE(FileNameKey("a.hex"), FileNameKey("A.HEX"));
#endif
}

// A system's message as one line of ours.
TEST(PlatformErrors, SystemTextsBecomeOneLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"Access is denied.\r\n", "Access is denied"},
      {"The first line.\r\nThe second line\r\nand a third.\r\n",
       "The first line. The second line and a third"},
      {"拒绝访问。\r\n", "拒绝访问。"},  // a full stop of another script stays
      {"Trailing dots...\x7F\t \n", "Trailing dots"},
      {" \r\n", ""},
  };
  for (const auto& [raw, line] : cases) EXPECT_EQ(OneLineText(raw), line) << raw;
}

// Error numbers in messages are the system's own, as its documentation and
// other programs show them, not the program's internal form.
TEST(PlatformErrors, CodesAreTheSystemsOwnNumbers) {
  const int no_such_thread = SetThreadPriorityLevel(0x3FFFFFF0u, 0);
  ASSERT_NE(no_such_thread, 0);
  const std::string text = SystemErrorText(no_such_thread);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
#ifdef _WIN32
  EXPECT_EQ(SystemErrorCode(no_such_thread), 87);  // ERROR_INVALID_PARAMETER
  EXPECT_EQ(SystemErrorCode(EACCES), 5);           // ERROR_ACCESS_DENIED
#else
  EXPECT_EQ(SystemErrorCode(no_such_thread), ESRCH);
  EXPECT_EQ(SystemErrorCode(EACCES), EACCES);
#endif
}

TEST(PlatformPaths, FullPathIsAbsoluteAndNormalised) {
  const std::string full = FullPathName("no/such/./dir/../file.jpg");
  EXPECT_EQ(full, FullPathName("no/such/file.jpg"));
  EXPECT_NE(full, "no/such/file.jpg");
  EXPECT_EQ(full.find("/./"), std::string::npos);
  EXPECT_EQ(full.find(".."), std::string::npos);
}

TEST(PlatformModules, ProgramAndCodeAddressesAreFound) {
  const std::string program = ExecutablePath();
  ASSERT_FALSE(program.empty());
  EXPECT_GE(ReadWhole(program).size(), 1024u) << program;
  std::string module;
  uintptr_t offset = 0;
  ASSERT_TRUE(ModuleOfAddress(reinterpret_cast<const void*>(&ExecutablePath), module, offset));
  EXPECT_EQ(module, program);  // the platform layer is linked into the program
  EXPECT_GT(offset, 0u);
  EXPECT_FALSE(ModuleOfAddress(nullptr, module, offset));
}

// Names are cut to the platform's limit (15 bytes on Linux), never mangled.
TEST(PlatformThreads, NameAndPriorityOfTheCallingThread) {
  std::string name;
  std::vector<std::pair<int, int>> levels;  // set error, level read back
  std::thread worker([&] {
    SetCurrentThreadName("IdThread (unknown)");
    name = CurrentThreadName();
    // Lowering needs no privilege anywhere.
    for (int level : {-1, -2}) {
      int read = 99;
      const int error = SetThreadPriorityLevel(CurrentThreadId(), level);
      GetThreadPriorityLevel(CurrentThreadId(), read);
      // In a niced process the system keeps a nearby level; it says which.
      levels.emplace_back(error, read == AppliedThreadPriorityLevel(level) ? level : read);
    }
  });
  worker.join();
  const std::string full = "IdThread (unknown)";
  EXPECT_GE(name.size(), 15u);
  EXPECT_EQ(full.compare(0, name.size(), name), 0) << name;
  EXPECT_EQ(levels, (std::vector<std::pair<int, int>>{{0, -1}, {0, -2}}));
}

TEST(PlatformMemory, GuardedBlockIsWholePagesOfWritableMemory) {
  const size_t page = MemoryPageSize();
  ASSERT_GE(page, 4096u);
  EXPECT_EQ(page & (page - 1), 0u);
  char* area = AllocateWithGuardPage(2 * page);
  ASSERT_NE(area, nullptr);
  for (size_t i = 0; i < 2 * page; ++i) area[i] = static_cast<char>(i);
  EXPECT_EQ(area[2 * page - 1], static_cast<char>(2 * page - 1));
  FreeWithGuardPage(area, 2 * page);
}

}  // namespace
}  // namespace qv
