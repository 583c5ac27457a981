// The two streams between bytes and hex text. Everything that turns a picture
// into text or text into a picture goes through them (picture_hex.h, for the
// window and the command line alike).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/streams.h"

namespace qv {

// A write-only stream that turns the bytes written into it into upper-case hex
// digit pairs (BytesToHexText). It cannot move: Seek to anywhere but its
// position fails with EReadError "Stream write error".
class THexEncodingStream : public TStream {
 public:
  // Passes the text on to `out` piece by piece, so that neither the bytes nor
  // their text are held whole; `out` must outlive this stream and its
  // failures pass on.
  explicit THexEncodingStream(TStream& out);
  // Appends the text to `text` in place: a block written in one call grows the
  // text once, with no copy of the block in between. Refuses with EOutOfMemory
  // "Out of memory", before the text grows, bytes past `max_bytes` in all or
  // text larger than the machine's memory; the text already written stays.
  THexEncodingStream(std::string& text, int64_t max_bytes);

  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  void AppendToText(const uint8_t* bytes, int64_t count);

  TStream* out_ = nullptr;
  std::string* text_ = nullptr;
  int64_t max_bytes_ = 0;
  std::vector<char> piece_;
  int64_t position_ = 0;
};

// A read-only stream of the bytes that hex text stands for, decoded as they
// are read (HexTextToBytes): L characters give L/2 bytes (an odd last
// character is ignored). Decoding stops at the first pair that is not two hex
// digits; from there on every byte is zero and no more text is read. It is
// read once from its start: Seek to anywhere but its position fails with
// EReadError "Stream read error".
class THexDecodingStream : public TStream {
 public:
  // Reads `length` characters of `text` from its current position, piece by
  // piece; `text` must outlive this stream. Text that ends early fails with
  // EReadError.
  THexDecodingStream(TStream& text, int64_t length);
  // Decodes `length` characters at `text` in place; they must outlive this stream.
  THexDecodingStream(const char* text, int64_t length);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return length_ / 2; }

  // Pairs decoded before the stop; all of them when decoding never stopped.
  // Final once every byte was read.
  int64_t PairsDecoded() const { return stopped_ ? pairs_decoded_ : position_; }
  bool Stopped() const { return stopped_; }

 private:
  // The next `pairs` pairs of text: in place, or read into the piece buffer.
  const char* NextPairs(int64_t at, int32_t pairs);

  TStream* source_ = nullptr;
  const char* memory_ = nullptr;
  int64_t length_;
  std::vector<char> piece_;
  int64_t position_ = 0;
  int64_t pairs_decoded_ = 0;
  bool stopped_ = false;
};

}  // namespace qv
