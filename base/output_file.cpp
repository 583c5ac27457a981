#include "base/output_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "base/format.h"
#include "base/platform.h"

namespace qv {

namespace {

// ".NAME.XXXXXXXX.tmp" in the target's folder, so that the rename stays on one
// file system and a listing shows whose leftover it would be.
std::string TemporaryNameFor(const std::string& path) {
  static std::mt19937 generator{std::random_device{}()};
  const std::filesystem::path target = PathFromUtf8(path);
  const std::string name = Format(".%s.%08x.tmp", Utf8FromPath(target.filename()).c_str(),
                                  static_cast<unsigned>(generator()));
  return Utf8FromPath(target.parent_path() / PathFromUtf8(name));
}

constexpr int kStandardOutput = 1;

}  // namespace

TOutputFile::TOutputFile(const std::string& path) : path_(path) {
  if (IsStandardOutput()) {
    std::fflush(stdout);
    fd_ = kStandardOutput;
    return;
  }
  // A read-only file is one the user keeps from being changed, on either
  // system (Windows would refuse the replacing rename anyway): refused before
  // any work, as an open for writing would be.
  if (IsReadOnlyFile(path_))
    throw EFCreateError(Format("Cannot create file \"%s\". %s", FullPathName(path_).c_str(),
                               SystemErrorText(EACCES).c_str()));
  int error = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary_ = TemporaryNameFor(path_);
    // Registered first: an interrupt between the two steps finds nothing to delete.
    DeleteOnInterrupt(temporary_);
    fd_ = CreateFileForWriting(temporary_);
    if (fd_ >= 0) return;
    error = errno;
    KeepOnInterrupt(temporary_);
    if (error != EEXIST) break;
  }
  temporary_.clear();
  throw EFCreateError(Format("Cannot create file \"%s\". %s", FullPathName(path_).c_str(),
                             SystemErrorText(error).c_str()));
}

TOutputFile::~TOutputFile() {
  Discard();
}

void TOutputFile::Discard() noexcept {
  if (IsStandardOutput() || temporary_.empty()) return;
  if (fd_ >= 0) CloseWrittenFile(fd_);
  fd_ = -1;
  RemoveFile(temporary_);
  KeepOnInterrupt(temporary_);
  temporary_.clear();
}

void TOutputFile::RaiseWriteError(int error) const {
  const std::string name =
      IsStandardOutput() ? std::string("standard output") : FullPathName(path_);
  throw EWriteError(
      Format("Cannot write file \"%s\". %s", name.c_str(), SystemErrorText(error).c_str()));
}

int64_t TOutputFile::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (fd_ < 0) RaiseWriteError(EBADF);
  if (!WriteFileFully(fd_, buffer, count)) RaiseWriteError(errno);
  position_ += count;
  return count;
}

int64_t TOutputFile::Seek(int64_t offset, TSeekOrigin origin) {
  const bool stays = origin == TSeekOrigin::soBeginning ? offset == position_ : offset == 0;
  if (!stays) RaiseWriteError(ESPIPE);
  return position_;
}

void TOutputFile::Commit() {
  if (IsStandardOutput()) return;
  if (fd_ < 0) RaiseWriteError(EBADF);
  const int fd = fd_;
  fd_ = -1;
  if (!CloseWrittenFile(fd)) {
    const int error = errno;
    Discard();
    RaiseWriteError(error);
  }
  // Made read-only meanwhile: refused as above, the temporary file deleted
  // while it is still writable.
  if (IsReadOnlyFile(path_)) {
    Discard();
    RaiseWriteError(EACCES);
  }
  // A replaced file keeps its permissions: a private file stays private.
  std::error_code error_code;
  const auto old_status = std::filesystem::status(PathFromUtf8(path_), error_code);
  if (!error_code && std::filesystem::is_regular_file(old_status))
    std::filesystem::permissions(PathFromUtf8(temporary_), old_status.permissions(), error_code);
  if (!RenameFileOver(temporary_, path_)) {
    const int error = errno;
    Discard();
    RaiseWriteError(error);
  }
  KeepOnInterrupt(temporary_);
  temporary_.clear();
}

}  // namespace qv
