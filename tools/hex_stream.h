// A write-only stream that turns the bytes written into it into hex text
// (BytesToHexText, piece by piece) for another stream. A picture written into
// it with WriteToStream gives exactly the text of JPEGToHex, without holding
// the picture's bytes or their text a second time.
#pragma once

#include <cstdint>
#include <vector>

#include "base/streams.h"

namespace qv {

class THexEncodingStream : public TStream {
 public:
  // `out` receives the text and must outlive this stream.
  explicit THexEncodingStream(TStream& out);

  // Encodes and passes on all `count` bytes; failures of `out` pass on.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void*, int64_t) override { return 0; }
  // The number of bytes taken so far; the stream cannot move.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  TStream& out_;
  std::vector<char> text_;
  int64_t position_ = 0;
};

// A read-only stream of the bytes that hex text stands for, decoded as they
// are read (HexTextToBytes, piece by piece): L characters give L/2 bytes (an
// odd last character is ignored); from the first pair that is not two hex
// digits on, every byte is zero and no more text is read. A picture loaded
// from it with ReadFromStream holds exactly what HexToJPEG would give it,
// without the whole text or a second copy of the bytes in memory.
class THexDecodingStream : public TStream {
 public:
  // Reads `length` characters of `text` from its current position; `text`
  // must outlive this stream. Text that ends early fails with EReadError.
  THexDecodingStream(TStream& text, int64_t length);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return length_ / 2; }

  // Pairs decoded before the stop; all of them when decoding never stopped.
  // Final once every byte was read.
  int64_t PairsDecoded() const { return stopped_ ? pairs_decoded_ : position_; }
  bool Stopped() const { return stopped_; }

 private:
  TStream& text_;
  int64_t length_;
  std::vector<char> piece_;
  int64_t position_ = 0;
  int64_t pairs_decoded_ = 0;
  bool stopped_ = false;
};

}  // namespace qv
