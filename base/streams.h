// Byte streams: the abstract TStream, the growable in-memory TMemoryStream and
// a read-only file stream. Sizes and positions are 64-bit.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Copies at most `count` bytes from the position on; returns how many.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes `count` bytes at the position; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t size);

  // Reads exactly `count` bytes or fails with EReadError "Stream read error".
  void ReadBuffer(void* buffer, int64_t count);
  // Writes exactly `count` bytes or fails with EWriteError-like EReadError text.
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from `source` (all of it from its start when 0).
  int64_t CopyFrom(TStream& source, int64_t count);
};

// One contiguous block. Growth rounds the capacity up to the next multiple of
// 8,192 bytes, except that a request equal to the current size is taken
// exactly; space gained is not cleared; capacity 0 frees the block. A size that
// cannot be had raises EOutOfMemory "Out of memory".
class TMemoryStream : public TStream {
 public:
  static constexpr int64_t kMemoryDelta = 8192;
  // Blocks from this size on are backed by large pages where the system can.
  static constexpr int64_t kLargeBlock = int64_t{4} << 20;

  TMemoryStream() = default;
  ~TMemoryStream() override;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  void SetSize(int64_t size) override;

  void Clear();
  int64_t Capacity() const { return capacity_; }
  void SetCapacity(int64_t capacity);
  uint8_t* Memory() { return memory_; }
  const uint8_t* Memory() const { return memory_; }

  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& path);

 private:
  void Realloc(int64_t& capacity);

  uint8_t* memory_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
  int64_t capacity_ = 0;
};

// Read-only file stream; open failure raises EFOpenError with the system's text.
class TFileStream : public TStream {
 public:
  explicit TFileStream(const std::string& path);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  int fd_ = -1;
};

}  // namespace qv
