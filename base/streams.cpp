#include "base/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"

namespace qv {

int64_t TStream::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(kStreamReadErrorText);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EReadError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = 1 << 16;
  char chunk[kChunk];
  const int64_t total = count;
  while (count > 0) {
    const int64_t n = std::min(count, kChunk);
    source.ReadBuffer(chunk, n);
    WriteBuffer(chunk, n);
    count -= n;
  }
  return total;
}

TMemoryStream::~TMemoryStream() {
  std::free(memory_);
}

void TMemoryStream::Realloc(int64_t& capacity) {
  if (capacity < 0) RaiseOutOfMemory();
  if (capacity > 0 && capacity != size_) {
    if (capacity > std::numeric_limits<int64_t>::max() - (kMemoryDelta - 1)) RaiseOutOfMemory();
    capacity = (capacity + (kMemoryDelta - 1)) & ~(kMemoryDelta - 1);
  }
  if (capacity == capacity_) return;
  if (capacity == 0) {
    std::free(memory_);
    memory_ = nullptr;
    return;
  }
  if (static_cast<uint64_t>(capacity) > PhysicalMemoryLimit()) RaiseOutOfMemory();
  void* block = std::realloc(memory_, static_cast<size_t>(capacity));
  if (block == nullptr) RaiseOutOfMemory();
  // Megabytes of fresh pages cost more in faults than in copying.
  if (capacity >= kLargeBlock && capacity > capacity_)
    AdviseLargeBlock(block, static_cast<size_t>(capacity));
  memory_ = static_cast<uint8_t*>(block);
}

void TMemoryStream::SetCapacity(int64_t capacity) {
  Realloc(capacity);
  capacity_ = capacity;
}

void TMemoryStream::SetSize(int64_t size) {
  const int64_t old_position = position_;
  SetCapacity(size);
  size_ = size;
  if (old_position > size) position_ = size;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  size_ = 0;
  position_ = 0;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (position_ < 0 || count <= 0) return 0;
  const int64_t available = size_ - position_;
  if (available <= 0) return 0;
  const int64_t n = std::min(count, available);
  std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (position_ < 0 || count <= 0) return 0;
  if (count > std::numeric_limits<int64_t>::max() - position_) RaiseOutOfMemory();
  const int64_t end = position_ + count;
  if (end > size_) {
    if (end > capacity_) SetCapacity(end);
    size_ = end;
  }
  std::memcpy(memory_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      position_ = offset;
      break;
    case TSeekOrigin::soCurrent:
      position_ += offset;
      break;
    case TSeekOrigin::soEnd:
      position_ = size_ + offset;
      break;
  }
  return position_;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const int64_t count = stream.Size();
  SetSize(count);
  if (count != 0) stream.ReadBuffer(memory_, count);
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  TFileStream file(path);
  LoadFromStream(file);
}

TFileStream::TFileStream(const std::string& path) {
  fd_ = OpenFileForReading(path);
  if (fd_ < 0) {
    const int error = errno;
    throw EFOpenError(Format("Cannot open file \"%s\". %s", FullPathName(path).c_str(),
                             SystemErrorText(error).c_str()));
  }
}

TFileStream::~TFileStream() {
  CloseFile(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return ReadFile(fd_, buffer, count);
}

int64_t TFileStream::Write(const void*, int64_t) {
  return 0;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  return SeekFile(fd_, offset, static_cast<int>(origin));
}

}  // namespace qv
