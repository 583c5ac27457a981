#include "conversion/text_forms/dump_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace qv::text_forms {

namespace {

// Dumps end their lines with LF or CR LF; a CR is one more blank here.
inline bool IsDumpBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

const char* LineEnd(const char* p, const char* end) {
  const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
  return lf != nullptr ? static_cast<const char*>(lf) : end;
}

const char* SkipBlanks(const char* p, const char* e) {
  while (p < e && IsDumpBlank(*p)) ++p;
  return p;
}

bool RestIsBlank(const char* p, const char* e) {
  return SkipBlanks(p, e) == e;
}

inline int DigitIn(char c, int radix) {
  const uint8_t v = HexValue(c);
  return v < radix ? v : -1;
}

// Reads an address of at most 16 digits in `radix`; returns its end (`p`
// when there is none).
const char* ParseAddress(const char* p, const char* e, int radix, uint64_t& value) {
  value = 0;
  const char* q = p;
  for (int d; q < e && q - p < 16 && (d = DigitIn(*q, radix)) >= 0; ++q) {
    value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
  }
  return q;
}

// ---- Detection: the shape of the first lines ----

struct TLineShape {
  enum TKind { Blank, Repeat, AddressOnly, Data, Other } Kind = Other;
  bool LeadingBlank = false;
  const char* Lead = nullptr;  // the first run of hex digits: the address
  int LeadLength = 0;
  bool Colon = false;
  int Tokens = 0;       // groups after the address
  int TokenLength = 0;  // of the first group
  bool Uneven = false;  // a group other than the last differs in length
  int64_t Digits = 0;
  char Column = 0;  // '|', '>', 't' (two blanks) or 0
};

TLineShape ShapeOf(const char* p, const char* e) {
  TLineShape shape;
  const char* q = SkipBlanks(p, e);
  shape.LeadingBlank = q > p;
  if (q == e) {
    shape.Kind = TLineShape::Blank;
    return shape;
  }
  if (*q == '*' && RestIsBlank(q + 1, e)) {
    shape.Kind = TLineShape::Repeat;
    return shape;
  }
  shape.Lead = q;
  while (q < e && IsHex(*q)) ++q;
  shape.LeadLength = static_cast<int>(std::min<int64_t>(q - shape.Lead, 64));
  if (shape.LeadLength == 0) return shape;
  if (q < e && *q == ':') {
    shape.Colon = true;
    ++q;
  } else if (q < e && !IsDumpBlank(*q)) {
    return shape;
  }
  if (RestIsBlank(q, e)) {
    shape.Kind = TLineShape::AddressOnly;
    return shape;
  }
  int last_length = 0;
  while (q < e) {
    if (IsDumpBlank(*q)) {
      const char* after = SkipBlanks(q, e);
      if (shape.Colon && after - q >= 2 && shape.Tokens > 0) {
        shape.Column = 't';
        break;
      }
      q = after;
      continue;
    }
    if (*q == '|' || *q == '>') {
      shape.Column = *q;
      break;
    }
    if (!IsHex(*q)) return shape;  // Other
    const char* token = q;
    while (q < e && IsHex(*q)) ++q;
    const int length = static_cast<int>(std::min<int64_t>(q - token, 64));
    if (shape.Tokens == 0) {
      shape.TokenLength = length;
    } else if (last_length != shape.TokenLength) {
      shape.Uneven = true;  // only the last group may be shorter
    }
    last_length = length;
    shape.Digits += length;
    ++shape.Tokens;
  }
  if (shape.Tokens > 1 && last_length > shape.TokenLength) shape.Uneven = true;
  shape.Kind = shape.Tokens > 0 ? TLineShape::Data : TLineShape::Other;
  return shape;
}

bool LeadInRadix(const TLineShape& shape, int radix, uint64_t& value) {
  return ParseAddress(shape.Lead, shape.Lead + shape.LeadLength, radix, value) ==
         shape.Lead + shape.LeadLength;
}

// How many times the addresses of `lines` agree and disagree with the bytes
// the lines hold, read in `radix`; false when an address is not a number in it.
bool CompareAddresses(const std::vector<TLineShape>& lines, int radix, int group_bytes, int& agree,
                      int& disagree) {
  agree = disagree = 0;
  bool have_previous = false;
  bool repeat = false;
  uint64_t previous = 0;
  int64_t previous_bytes = 0;
  for (const TLineShape& line : lines) {
    if (line.Kind == TLineShape::Repeat) {
      repeat = true;
      continue;
    }
    uint64_t address = 0;
    if (!LeadInRadix(line, radix, address)) return false;
    if (have_previous) {
      const uint64_t expected = previous + static_cast<uint64_t>(previous_bytes);
      bool agrees;
      if (repeat) {
        agrees = previous_bytes > 0 && address > previous &&
                 (address - previous) % static_cast<uint64_t>(previous_bytes) == 0;
      } else if (line.Kind == TLineShape::AddressOnly) {
        // Word dumps pad the last word: the end may stand before it.
        agrees = address <= expected && address + static_cast<uint64_t>(group_bytes) > expected;
      } else {
        agrees = address == expected;
      }
      ++(agrees ? agree : disagree);
    }
    if (line.Kind == TLineShape::AddressOnly) break;
    have_previous = true;
    repeat = false;
    previous = address;
    previous_bytes = line.Digits / 2;
  }
  return true;
}

constexpr int kSampleLines = 32;
constexpr int64_t kLongestDumpLine = 1024;
constexpr int64_t kSampleBytes = 64 * 1024;

}  // namespace

TDumpLayout DetectDump(const char* from, const char* end) {
  std::vector<TLineShape> lines;
  const char* p = from;
  const char* sample_end = std::min(end, from + kSampleBytes);
  int skipped = 0;  // lines before the dump (a command line, a title)
  while (p < sample_end && static_cast<int>(lines.size()) < kSampleLines) {
    // No dump writes lines of a kilobyte: a longer one ends the sample.
    const char* e = LineEnd(p, std::min(end, p + kLongestDumpLine));
    if (e - p == kLongestDumpLine) break;
    TLineShape shape = ShapeOf(p, e);
    p = e < end ? e + 1 : end;
    if (shape.Kind == TLineShape::Blank) continue;
    if (lines.empty() && shape.Kind != TLineShape::Data) {
      if (++skipped > 2) return {};
      continue;
    }
    if (shape.Kind == TLineShape::Other) break;
    lines.push_back(shape);
  }
  if (lines.empty()) return {};
  const TLineShape& first = lines[0];

  TDumpLayout layout;
  // od -An -x: words without addresses; recognisable by a JPEG's first word
  // read little-endian ("d8ff"), and only by it.
  if (first.LeadingBlank && !first.Colon && first.LeadLength == 4 && first.TokenLength == 4 &&
      !first.Uneven && Lower(first.Lead[0]) == 'd' && first.Lead[1] == '8' &&
      Lower(first.Lead[2]) == 'f' && Lower(first.Lead[3]) == 'f') {
    layout.Form = THexTextForm::WordDump;
    layout.Addresses = false;
    layout.GroupDigits = 4;
    return layout;
  }
  if (first.LeadLength < 4 || first.LeadLength > 16) return {};
  bool clue = true;
  if (first.Colon) {
    layout.Form = THexTextForm::XxdDump;
    layout.AddressColon = true;
    layout.InOrder = true;
    layout.Column = TTextColumn::TwoBlanks;
  } else {
    if (first.Uneven ||
        (first.TokenLength != 2 && first.TokenLength != 4 && first.TokenLength != 8)) {
      return {};
    }
    layout.GroupDigits = first.TokenLength;
    if (first.Column == '|') {
      if (first.TokenLength != 2) return {};
      layout.Form = THexTextForm::HexdumpCanonical;
      layout.Column = TTextColumn::Bar;
    } else {
      layout.Form = first.TokenLength == 2 ? THexTextForm::OdBytes : THexTextForm::WordDump;
      layout.Column = first.Column == '>' ? TTextColumn::Angle : TTextColumn::None;
      clue = first.Column == '>';
    }
  }
  // Every sampled line keeps the first one's layout.
  for (const TLineShape& line : lines) {
    if (line.Kind != TLineShape::Data) continue;
    if (line.Colon != first.Colon || line.LeadLength != first.LeadLength ||
        (!layout.InOrder && (line.Uneven || line.TokenLength != first.TokenLength))) {
      return {};
    }
  }
  // The radix in which the addresses agree with the bytes: od writes octal by
  // default, hex or decimal on request; xxd hex, or decimal with -d; hexdump -C hex.
  std::vector<int> radixes = {16, 8, 10};
  if (layout.Column == TTextColumn::Bar) radixes = {16};
  if (layout.AddressColon) radixes = {16, 10};
  // Lines may be missing (a gap is read and reported): the radix with the
  // most agreements wins. Without a column or a colon to go by, the addresses
  // must mostly agree, or the text is no dump.
  int best_agree = -1;
  for (const int radix : radixes) {
    int agree = 0, disagree = 0;
    if (!CompareAddresses(lines, radix, layout.GroupDigits / 2, agree, disagree)) continue;
    if (!clue && (agree == 0 || disagree >= agree)) continue;
    if (agree > best_agree) {
      best_agree = agree;
      layout.Radix = radix;
    }
  }
  if (best_agree < 0) return {};
  return layout;
}

// ---- Reading ----

namespace {

// Lines longer than this are never learnt (positions are kept in bytes).
constexpr int64_t kTemplateMaxLine = 250;
constexpr size_t kTemplateMaxBytes = 128;

// The exact shape of a full line, learnt from one read the slow way: a later
// line of the same length whose blanks and marks stand in the same places is
// read by position, without scanning it.
struct TLineTemplate {
  bool Valid = false;
  int64_t Length = 0;  // of the line, without its LF
  int AddressFrom = 0;
  int AddressLength = 0;
  std::string Expected;  // the line up to its text column, digits zeroed
  std::string Mask;      // 0 at digits, 0xFF where the character must match
  // Where each byte's two digits start, in the order of the bytes.
  std::array<uint8_t, kTemplateMaxBytes> Pairs{};
  size_t Bytes = 0;
};

inline uint64_t Load8(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

bool MatchesTemplate(const char* p, const TLineTemplate& t) {
  const size_t n = t.Expected.size();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (((Load8(p + i) ^ Load8(t.Expected.data() + i)) & Load8(t.Mask.data() + i)) != 0) {
      return false;
    }
  }
  for (; i < n; ++i) {
    if (((p[i] ^ t.Expected[i]) & t.Mask[i]) != 0) return false;
  }
  return true;
}

class TDumpReader {
 public:
  TDumpReader(TTextReader& reader, const TDumpLayout& layout)
      : reader_(reader), layout_(layout), group_bytes_(layout.GroupDigits / 2) {}

  void Read(const char* p);

 private:
  void ReadLine(const char* p, const char* e);
  void ReadData(const char* line, const char* address, int address_length, const char* q,
                const char* e);
  bool ReadByTemplate(const char* p);
  // Puts the bytes up to `address` in place: a repeat's copies, or a gap.
  void ReachAddress(uint64_t address, const char* at);
  void EndAddress(uint64_t address, const char* at);
  void Learn(const char* line, const char* e, const char* address, int address_length,
             const char* data_end);
  void Unplaced(THexTextIssueKind kind, const char* from, const char* to) {
    reader_.Unplaced(kind, from, to);
    clean_ = false;
  }
  uint64_t Expected() const { return base_ + static_cast<uint64_t>(reader_.Written(out_)); }

  TTextReader& reader_;
  const TDumpLayout& layout_;
  const int group_bytes_;
  uint8_t* out_ = nullptr;
  int64_t data_ = 0;
  bool have_base_ = false;
  uint64_t first_address_ = 0;
  uint64_t base_ = 0;            // the first address, moved on by every gap
  int64_t last_line_bytes_ = 0;  // the previous data line's, for a repeat
  const char* repeat_at_ = nullptr;
  bool ended_ = false;  // an address alone ended the dump
  bool stop_ = false;
  bool clean_ = true;  // the line being read had no issue
  TLineTemplate template_;
  std::vector<uint8_t> high_;  // where the digits of the line being read start
};

void TDumpReader::Read(const char* p) {
  const char* const end = reader_.End();
  out_ = reader_.Out();
  while (p < end && !stop_) {
    if (!reader_.Tick(p)) break;
    const char* e = LineEnd(p, end);
    if (!(template_.Valid && e - p == template_.Length && ReadByTemplate(p))) ReadLine(p, e);
    p = e < end ? e + 1 : end;
  }
  if (repeat_at_ != nullptr && !stop_) {
    Unplaced(THexTextIssueKind::RepeatUnknown, repeat_at_, repeat_at_ + 1);
    reader_.MarkLossy();
  }
  if (out_ != nullptr) reader_.SetOut(out_);
  reader_.AddData(data_);
  if (layout_.GroupDigits > 2 && data_ > 0) reader_.MarkSwapped();
}

bool TDumpReader::ReadByTemplate(const char* p) {
  if (repeat_at_ != nullptr || ended_ || !MatchesTemplate(p, template_)) return false;
  if (layout_.Addresses) {
    uint64_t address = 0;
    const char* a = p + template_.AddressFrom;
    if (ParseAddress(a, a + template_.AddressLength, layout_.Radix, address) !=
            a + template_.AddressLength ||
        address != Expected()) {
      return false;
    }
  }
  const size_t n = template_.Bytes;
  uint8_t* out = reader_.Reserve(out_, static_cast<int64_t>(n));
  if (out == nullptr) {
    stop_ = true;
    return true;
  }
  out_ = out;
  uint16_t bad = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint16_t v = PairValue(p + template_.Pairs[i]);
    bad |= v;
    out[i] = static_cast<uint8_t>(v);
  }
  if (bad >= kNotPair) return false;  // a blank where a digit stood: the slow path reads it
  out_ += n;
  data_ += 2 * static_cast<int64_t>(n);
  last_line_bytes_ = static_cast<int64_t>(n);
  return true;
}

void TDumpReader::ReachAddress(uint64_t address, const char* at) {
  if (!have_base_) {
    have_base_ = true;
    first_address_ = base_ = address;
    repeat_at_ = nullptr;
    return;
  }
  const uint64_t expected = Expected();
  if (address == expected) {
    repeat_at_ = nullptr;  // a '*' that repeats nothing
    return;
  }
  if (address < expected) {
    reader_.Issue(THexTextIssueKind::AddressBack, at, static_cast<int64_t>(expected - address));
    reader_.MarkLossy();
    repeat_at_ = nullptr;
    return;
  }
  const uint64_t missing = address - expected;
  if (repeat_at_ != nullptr && last_line_bytes_ > 0 &&
      missing % static_cast<uint64_t>(last_line_bytes_) == 0) {
    // The repeated line is the one just written: copy it up to the address.
    const auto more = static_cast<int64_t>(std::min<uint64_t>(missing, INT64_MAX / 2));
    uint8_t* out = reader_.Reserve(out_, more);
    if (out == nullptr) {
      stop_ = true;
      return;
    }
    const uint8_t* line = out - last_line_bytes_;
    for (int64_t done = 0; done < more; done += last_line_bytes_) {
      std::memcpy(out + done, line, static_cast<size_t>(last_line_bytes_));
    }
    out_ = out + more;
    repeat_at_ = nullptr;
    return;
  }
  reader_.Issue(THexTextIssueKind::AddressGap, repeat_at_ != nullptr ? repeat_at_ : at,
                static_cast<int64_t>(std::min<uint64_t>(missing, INT64_MAX)));
  reader_.MarkLossy();
  repeat_at_ = nullptr;
  // What is missing stays missing; the next bytes follow those read.
  base_ += missing;
}

void TDumpReader::EndAddress(uint64_t address, const char* at) {
  ended_ = true;
  if (!have_base_) {
    have_base_ = true;
    first_address_ = base_ = address;
    return;
  }
  const uint64_t expected = Expected();
  if (address > expected) {
    ReachAddress(address, at);
  } else if (address < expected) {
    const uint64_t excess = expected - address;
    if (excess < static_cast<uint64_t>(group_bytes_) && repeat_at_ == nullptr) {
      out_ -= excess;  // the padding of a word dump's last word
      data_ -= 2 * static_cast<int64_t>(excess);
    } else {
      reader_.Issue(THexTextIssueKind::LengthMismatch, at,
                    static_cast<int64_t>(address - std::min(first_address_, address)));
    }
  }
  repeat_at_ = nullptr;
}

void TDumpReader::ReadLine(const char* p, const char* e) {
  const char* q = SkipBlanks(p, e);
  if (q == e) return;
  if (*q == '*' && RestIsBlank(q + 1, e)) {
    if (layout_.Addresses) {
      repeat_at_ = q;  // the next address tells how far it reaches
    } else {
      Unplaced(THexTextIssueKind::RepeatUnknown, q, q + 1);
      reader_.MarkLossy();
    }
    return;
  }
  const char* address_at = q;
  int address_length = 0;
  if (layout_.Addresses) {
    uint64_t address = 0;
    const char* a = ParseAddress(q, e, layout_.Radix, address);
    const bool mark_ok = layout_.AddressColon ? (a < e && *a == ':') : (a == e || IsDumpBlank(*a));
    if (a == q || !mark_ok) {
      while (e > q && IsDumpBlank(e[-1])) --e;
      Unplaced(THexTextIssueKind::StrayCharacter, q, e);
      return;
    }
    const char* data = SkipBlanks(a + (layout_.AddressColon ? 1 : 0), e);
    if (ended_) {
      // A second dump after the first one's end: not read.
      reader_.Issue(THexTextIssueKind::OtherData, q);
      stop_ = true;
      return;
    }
    if (data == e) {
      EndAddress(address, q);
      return;
    }
    ReachAddress(address, q);
    if (stop_) return;
    address_length = static_cast<int>(a - q);
    q = data;
  }
  ReadData(p, address_at, address_length, q, e);
}

void TDumpReader::ReadData(const char* line, const char* address, int address_length, const char* q,
                           const char* e) {
  uint8_t* out = reader_.Reserve(out_, (e - q) / 2 + 8);
  if (out == nullptr) {
    stop_ = true;
    return;
  }
  out_ = out;
  uint8_t* const line_out = out_;
  // Every clean line read the slow way teaches the template again: the
  // addresses grow a digit now and then (od's octal ones at 2 MB).
  const bool learn = e - line <= kTemplateMaxLine;
  high_.clear();
  clean_ = true;
  const char* data_end = e;
  auto put = [&](const char* digits) {
    *out_++ = static_cast<uint8_t>(HexValue(digits[0]) << 4 | HexValue(digits[1]));
    if (learn) high_.push_back(static_cast<uint8_t>(digits - line));
  };
  while (q < e) {
    const char c = *q;
    if (IsDumpBlank(c)) {
      if (layout_.Column == TTextColumn::TwoBlanks && q + 1 < e && IsDumpBlank(q[1])) {
        data_end = q;
        break;
      }
      ++q;
      continue;
    }
    if ((layout_.Column == TTextColumn::Bar && c == '|') ||
        (layout_.Column == TTextColumn::Angle && c == '>')) {
      data_end = q;
      break;
    }
    if (!IsHex(c)) {
      const char* from = q;
      while (q < e && !IsDumpBlank(*q)) ++q;
      Unplaced(THexTextIssueKind::StrayCharacter, from, q);
      continue;
    }
    const char* token = q;
    while (q < e && IsHex(*q)) ++q;
    const int64_t n = q - token;
    if (layout_.InOrder || layout_.GroupDigits == 2) {
      for (int64_t i = 0; i + 1 < n; i += 2) put(token + i);
      data_ += n & ~int64_t{1};
      if (n % 2 == 1) Unplaced(THexTextIssueKind::LoneDigit, q - 1, q);
    } else if (n == layout_.GroupDigits) {
      // A little-endian word: its last pair is the first byte.
      for (int64_t i = n - 2; i >= 0; i -= 2) put(token + i);
      data_ += n;
    } else {
      Unplaced(THexTextIssueKind::CutGroup, token, q);
    }
  }
  const int64_t bytes = out_ - line_out;
  if (bytes > 0) last_line_bytes_ = bytes;
  if (learn && clean_ && bytes >= 4 && bytes <= static_cast<int64_t>(kTemplateMaxBytes)) {
    Learn(line, e, address, address_length, data_end);
  }
}

void TDumpReader::Learn(const char* line, const char* e, const char* address, int address_length,
                        const char* data_end) {
  // The marks after the data area belong to the shape: the column's opening
  // character, or xxd's two blanks.
  int64_t region = data_end - line;
  if (layout_.Column == TTextColumn::TwoBlanks) region += 2;
  if (layout_.Column == TTextColumn::Bar || layout_.Column == TTextColumn::Angle) region += 1;
  region = std::min<int64_t>(region, e - line);
  TLineTemplate& t = template_;
  t.Length = e - line;
  t.AddressFrom = static_cast<int>(address - line);
  t.AddressLength = address_length;
  t.Expected.assign(line, static_cast<size_t>(region));
  t.Mask.assign(static_cast<size_t>(region), static_cast<char>(0xFF));
  auto digit = [&](int64_t at) {
    if (at < region) {
      t.Expected[static_cast<size_t>(at)] = 0;
      t.Mask[static_cast<size_t>(at)] = 0;
    }
  };
  for (int i = 0; i < address_length; ++i) digit(t.AddressFrom + i);
  for (size_t i = 0; i < high_.size(); ++i) {
    digit(high_[i]);
    digit(high_[i] + 1);
    t.Pairs[i] = high_[i];
  }
  t.Bytes = high_.size();
  t.Valid = true;
}

}  // namespace

void ReadDump(TTextReader& reader, const char* from, const TDumpLayout& layout) {
  TDumpReader(reader, layout).Read(from);
}

}  // namespace qv::text_forms
