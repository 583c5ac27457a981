// An output file that appears complete or not at all: the bytes go to a
// temporary file beside the target, which replaces the target only on Commit.
// An interrupt, a failure or destruction without Commit deletes the temporary
// and leaves the target as it was. "-" writes to standard output instead.
#pragma once

#include <cstdint>
#include <string>

#include "base/exceptions.h"
#include "base/streams.h"

namespace qv {

QV_DECLARE_EXCEPTION(EFCreateError, Exception);
QV_DECLARE_EXCEPTION(EWriteError, Exception);

class TOutputFile : public TStream {
 public:
  // Creates the temporary file; EFCreateError "Cannot create file "%s". %s"
  // (naming the target) when that fails.
  explicit TOutputFile(const std::string& path);
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Appends; a failing write raises EWriteError naming the target.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void*, int64_t) override { return 0; }
  // Write-only and sequential: only the position (and size) can be asked.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  // Closes the temporary file and renames it over the target (EWriteError on
  // failure, the target then unchanged). Standard output is flushed instead.
  void Commit();

  const std::string& Path() const { return path_; }
  bool IsStandardOutput() const { return path_ == "-"; }

 private:
  void Discard() noexcept;
  [[noreturn]] void RaiseWriteError(int error) const;

  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  int64_t position_ = 0;
};

}  // namespace qv
