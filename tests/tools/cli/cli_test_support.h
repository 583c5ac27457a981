// Running quorvane-hex (or any program) as a script would: arguments, standard
// input from a file, standard output and error captured, exit status.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

extern char** environ;

namespace qv::testing_cli {

namespace fs = std::filesystem;

using testing_support::Corpus;
using testing_support::WithClaimedSize;

inline std::string ReadFile(const fs::path& path) {
  return testing_support::ReadAll(path.string());
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct TRun {
  int status = -1;  // exit status; -1 when ended by a signal
  int signal = 0;   // the signal that ended it
  std::string out;
  std::string err;
};

// Starts `argv` with standard input from `input` and output and error to files
// in `scratch`; returns the process id.
inline pid_t Start(const std::vector<std::string>& argv, const fs::path& scratch,
                   const std::string& input = "/dev/null") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  const std::string out = (scratch / ".stdout").string();
  const std::string err = (scratch / ".stderr").string();
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(failed, 0) << argv[0];
  return pid;
}

inline TRun Finish(pid_t pid, const fs::path& scratch) {
  TRun run;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.out = ReadFile(scratch / ".stdout");
  run.err = ReadFile(scratch / ".stderr");
  fs::remove(scratch / ".stdout");
  fs::remove(scratch / ".stderr");
  return run;
}

inline TRun RunProgram(const std::vector<std::string>& argv, const fs::path& scratch,
                       const std::string& input = "/dev/null") {
  return Finish(Start(argv, scratch, input), scratch);
}

// A fresh folder per test, removed afterwards.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    dir_ = fs::temp_directory_path() /
           ("quorvane-hex-test-" + std::to_string(getpid()) + "-" + std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }

  TRun Hex(std::vector<std::string> args, const std::string& input = "/dev/null") {
    args.insert(args.begin(), QUORVANE_HEX);
    return RunProgram(args, dir_, input);
  }
  // The bytes of a file as upper-case hex pairs, by od: an encoder that shares
  // nothing with ours.
  std::string OdHex(const std::string& path) {
    const TRun run = RunProgram(
        {"sh", "-c", "od -An -v -tx1 \"$1\" | tr -d ' \\n' | tr a-f A-F", "sh", path}, dir_);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Names in the folder other than the given ones (leftover temporaries).
  std::vector<std::string> Others(const std::vector<std::string>& expected) const {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end())
        others.push_back(name);
    }
    return others;
  }

  fs::path dir_;
};

}  // namespace qv::testing_cli
