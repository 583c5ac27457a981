// Runs the tools that make the fixtures (xxd, hexdump, od, base64, basenc,
// sqlite3, python3, cc) through the shell; a test whose tool is missing
// skips, saying which one and where it comes from.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace qv::testing_tools {

inline bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Skips the running test when `tool` is not installed.
#define QV_SKIP_WITHOUT(tool)                                                              \
  do {                                                                                     \
    if (!::qv::testing_tools::HaveTool(tool))                                              \
      GTEST_SKIP() << (tool) << " is not installed (scripts/install-deps.sh installs it)"; \
  } while (0)

// Standard output of a shell command line; `ok` is false when it fails.
inline std::string Shell(const std::string& command, bool* ok = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (ok != nullptr) *ok = false;
    return out;
  }
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  if (ok != nullptr) *ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return out;
}

// A folder of its own under the system's temporary folder, removed with its files.
class TScratchFolder {
 public:
  TScratchFolder() {
    std::string pattern = "/tmp/qv_text_forms_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TScratchFolder() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& Path() const { return path_; }
  std::string Write(const std::string& name, const std::string& content) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }

 private:
  std::string path_;
};

}  // namespace qv::testing_tools
