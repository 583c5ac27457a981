// The state every reader of a text form shares: the text, the bytes made so
// far, the counts and issues of the report, and the progress checks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "conversion/text_forms/hex_text_recogniser.h"

namespace qv::text_forms {

inline constexpr uint8_t kNotHex = 0xFF;
inline constexpr std::array<uint8_t, 256> kHexValue = [] {
  std::array<uint8_t, 256> values{};
  for (auto& v : values) v = kNotHex;
  for (int i = 0; i < 10; ++i) values['0' + i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 6; ++i) {
    values['a' + i] = static_cast<uint8_t>(10 + i);
    values['A' + i] = static_cast<uint8_t>(10 + i);
  }
  return values;
}();

inline uint8_t HexValue(char c) {
  return kHexValue[static_cast<uint8_t>(c)];
}
inline bool IsHex(char c) {
  return HexValue(c) != kNotHex;
}
// The byte of each two ASCII characters (the first in the low 7 bits of the
// index), or kNotPair: one look-up a pair where the runs are short.
inline constexpr uint16_t kNotPair = 0x100;
inline constexpr std::array<uint16_t, 16384> kPairValue = [] {
  std::array<uint16_t, 16384> values{};
  for (int i = 0; i < 16384; ++i) {
    const uint8_t hi = kHexValue[i & 0x7F], lo = kHexValue[i >> 7];
    values[i] = (hi | lo) < 16 ? static_cast<uint16_t>(hi << 4 | lo) : kNotPair;
  }
  return values;
}();
inline uint16_t PairValue(const char* p) {
  const unsigned a = static_cast<uint8_t>(p[0]), b = static_cast<uint8_t>(p[1]);
  return ((a | b) & 0x80) != 0 ? kNotPair : kPairValue[a | b << 7];
}
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
inline bool IsLineBreak(char c) {
  return c == '\n' || c == '\r';
}
inline bool IsSpace(char c) {
  return IsBlank(c) || IsLineBreak(c) || c == '\v' || c == '\f';
}
inline bool IsDecimal(char c) {
  return c >= '0' && c <= '9';
}
inline bool IsWordCharacter(char c) {
  return IsDecimal(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
inline char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
// True when `text` at `p` starts with `word` (ASCII, any case).
bool StartsWithNoCase(const char* p, const char* end, std::string_view word);

class TTextReader {
 public:
  // `capacity`: bytes the form can make at most from the text, before any
  // repeat a dump claims.
  TTextReader(std::string_view text, const TRecogniseOptions& options, TRecognition& result,
              int64_t capacity);

  const char* Begin() const { return begin_; }
  const char* End() const { return end_; }

  // The output cursor; readers keep a copy while they work and hand it back.
  uint8_t* Out() const { return out_; }
  void SetOut(uint8_t* out) { out_ = out; }
  // Room for `more` bytes after `out`; returns the cursor, moved with the
  // buffer. nullptr when the bytes would pass MaxBytes (the reading ends TooLarge).
  uint8_t* Reserve(uint8_t* out, int64_t more);
  int64_t Written(const uint8_t* out) const { return out - base_; }
  const uint8_t* Base() const { return base_; }

  // Characters that became data.
  void AddData(int64_t characters) { data_ += characters; }

  // An issue at `at`. Count is the issue's own number (see THexTextIssue).
  void Issue(THexTextIssueKind kind, const char* at, int64_t count = 0);
  // The characters [from, to) are unplaced and reported as one issue.
  void Unplaced(THexTextIssueKind kind, const char* from, const char* to);
  void MarkLossy() { result_.Lossy = true; }
  void MarkSwapped() { result_.Swapped = true; }

  // Where the next progress check is due; Tick at or past it reports progress
  // and returns false once the caller cancelled.
  const char* CheckAt() const { return check_at_; }
  bool Tick(const char* p) { return p < check_at_ || Report(p); }
  bool Stopped() const { return cancelled_ || too_large_; }

  // Settles the report: the bytes' final size, the removed characters and the
  // places of the issues. Call once, after the reader is done.
  void Finish(THexTextForm form);

 private:
  bool Report(const char* p);

  std::string_view text_;
  const char* begin_;
  const char* end_;
  const TRecogniseOptions& options_;
  TRecognition& result_;
  uint8_t* base_ = nullptr;
  uint8_t* out_ = nullptr;
  uint8_t* limit_ = nullptr;
  int64_t data_ = 0;
  const char* check_at_;
  bool cancelled_ = false;
  bool too_large_ = false;
  bool end_reported_ = false;
};

// The character starting at `p`: U+FFFD for a byte that starts no valid
// UTF-8 sequence.
char32_t DecodeCharacter(const char* p, const char* end);

// Counts the characters of [from, to): UTF-8 continuation bytes do not count.
int64_t CountCharacters(const char* from, const char* to);

// Fills in the line, column and character of each place from its offset.
void LocatePlaces(std::string_view text, THexTextPlace* const* places, size_t count);

}  // namespace qv::text_forms
