#include "conversion/text_forms/free_form_reader.h"

#include <algorithm>
#include <cstring>

#include "conversion/hex_codec.h"
#include "conversion/text_forms/base64_reader.h"

namespace qv::text_forms {

namespace {

constexpr int kNoStop = 256;

// Plain hex takes the separators people put between pairs; inside a literal
// only white space may stand between the digits.
inline bool IsHexSeparator(char c) {
  return IsSpace(c) || c == ',' || c == ':' || c == ';' || c == '-';
}

template <bool kPunctuation>
inline bool IsSeparator(char c) {
  return kPunctuation ? IsHexSeparator(c) : IsSpace(c);
}

inline bool IsStop(char c, int stop) {
  return static_cast<uint8_t>(c) == stop;
}

// A digit waiting for its partner: digits pair up across separators, the way
// `xxd -r -p` reads.
struct TPendingDigit {
  bool Half = false;
  uint8_t High = 0;
  const char* At = nullptr;
};

// True when only blanks stand between `p` and the ends of its line.
bool AloneOnLine(const char* from, const char* to, const char* begin, const char* end) {
  for (const char* q = from; q > begin && !IsLineBreak(q[-1]); --q) {
    if (!IsBlank(q[-1])) return false;
  }
  for (const char* q = to; q < end && !IsLineBreak(*q); ++q) {
    if (!IsBlank(*q)) return false;
  }
  return true;
}

// Reads digits from `p` until the character `stop` or the end, pairing them
// across separators. Returns where it stopped (at `stop`, or the end).
template <bool kPunctuation>
const char* ReadDigits(TTextReader& reader, const char* p, int stop, TPendingDigit& pending) {
  const char* const begin = reader.Begin();
  const char* const end = reader.End();
  uint8_t* out = reader.Out();
  int64_t data = 0;
  // Long runs (a line of xxd -p, the strict run) go to the codec from the
  // start of a line, and on into the next chunk while it reads to a chunk's
  // end; where it keeps finding short ones (pairs between blanks), it is no
  // longer asked.
  bool codec_turn = true;
  int codec_misses = 0;
  while (p < end) {
    const char* chunk_end = std::min(end, reader.CheckAt());
    while (p < chunk_end) {
      if (!pending.Half) {
        if (codec_turn && codec_misses < 8 && chunk_end - p >= 64) {
          const auto pairs = static_cast<int32_t>(std::min<int64_t>((chunk_end - p) / 2, 1 << 24));
          const int32_t got = HexTextToBytes(p, out, pairs);
          out += got;
          p += 2 * got;
          data += 2 * got;
          codec_misses = got < 16 ? codec_misses + 1 : 0;
          if (got == pairs) continue;
          codec_turn = false;  // the run ended here
        }
        // Pairs, each with one separator after it or none.
        const uint8_t* run = out;
        while (chunk_end - p >= 3) {
          const uint16_t v = PairValue(p);
          if (v == kNotPair) break;
          *out++ = static_cast<uint8_t>(v);
          p += 2;
          if (*p == ' ') ++p;
        }
        if (out != run) {
          data += 2 * (out - run);
          continue;
        }
      }
      const char c = *p;
      const uint8_t v = HexValue(c);
      if (v != kNotHex) {
        if (pending.Half) {
          *out++ = static_cast<uint8_t>(pending.High << 4 | v);
          pending.Half = false;
          data += 2;
        } else {
          pending = {true, v, p};
        }
        ++p;
        continue;
      }
      if (IsSeparator<kPunctuation>(c)) {
        codec_turn = c == '\n';
        ++p;
        continue;
      }
      if (IsStop(c, stop)) {
        reader.SetOut(out);
        reader.AddData(data);
        return p;
      }
      const char* from = p;
      do {
        ++p;
      } while (p < end && !IsHex(*p) && !IsSeparator<kPunctuation>(*p) && !IsStop(*p, stop));
      // od without addresses marks repeated lines with a '*' alone: how many
      // lines it stands for is lost.
      if (kPunctuation && p - from == 1 && *from == '*' && AloneOnLine(from, p, begin, end)) {
        reader.Unplaced(THexTextIssueKind::RepeatUnknown, from, p);
        reader.MarkLossy();
      } else {
        reader.Unplaced(THexTextIssueKind::StrayCharacter, from, p);
      }
    }
    if (!reader.Tick(p)) break;
  }
  reader.SetOut(out);
  reader.AddData(data);
  return p;
}

void EndDigits(TTextReader& reader, const TPendingDigit& pending) {
  if (pending.Half) reader.Unplaced(THexTextIssueKind::LoneDigit, pending.At, pending.At + 1);
}

// Writes the value of `n` digits at `p` in file order (an odd count reads as
// if it had a leading zero, as a C number does).
uint8_t* PutDigits(uint8_t* out, const char* p, int64_t n) {
  if (n % 2 == 1) {
    *out++ = HexValue(*p++);
    --n;
  }
  for (; n > 0; n -= 2, p += 2) *out++ = static_cast<uint8_t>(HexValue(p[0]) << 4 | HexValue(p[1]));
  return out;
}

const char* SkipDigits(const char* p, const char* end) {
  while (p < end && IsHex(*p)) ++p;
  return p;
}

// Skips a C comment at `p` ("/*…*/" or "//…" to the line's end); returns `p`
// when there is none.
const char* SkipComment(const char* p, const char* end) {
  if (end - p < 2 || p[0] != '/') return p;
  if (p[1] == '/') {
    while (p < end && !IsLineBreak(*p)) ++p;
    return p;
  }
  if (p[1] != '*') return p;
  for (const char* q = p + 2; q + 1 < end; ++q) {
    if (q[0] == '*' && q[1] == '/') return q + 2;
  }
  return end;
}

bool IsHexItemAt(const char* p, const char* end) {
  return end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && IsHex(p[2]);
}

// After the literal or array that was read: the rest is not data; a second
// one is reported, not read.
void RestIsRemoved(TTextReader& reader, const char* p,
                   const char* (*find)(const char*, const char*)) {
  const char* other = find(p, reader.End());
  if (other != reader.End()) reader.Issue(THexTextIssueKind::OtherData, other);
}

const char* FindOpeningBrace(const char* p, const char* end) {
  const void* brace = std::memchr(p, '{', static_cast<size_t>(end - p));
  return brace != nullptr ? static_cast<const char*>(brace) : end;
}

// xxd -i states the length after the array: "unsigned int NAME_len = 1234;".
void CheckStatedLength(TTextReader& reader, const char* p, int64_t read) {
  const char* end = reader.End();
  static constexpr std::string_view kLen = "_len";
  const char* found = std::search(p, end, kLen.begin(), kLen.end());
  if (found == end) return;
  const char* q = found + kLen.size();
  while (q < end && IsBlank(*q)) ++q;
  if (q == end || *q != '=') return;
  ++q;
  while (q < end && IsBlank(*q)) ++q;
  const char* number = q;
  int64_t stated = 0;
  while (q < end && IsDecimal(*q) && stated < (int64_t{1} << 50))
    stated = stated * 10 + (*q++ - '0');
  if (q == number || stated == read) return;
  reader.Issue(THexTextIssueKind::LengthMismatch, number, stated);
  if (stated > read) reader.MarkLossy();
}

}  // namespace

const char* FindHexItem(const char* p, const char* end) {
  // An item stands apart: not inside a word or a run of base64 ("…/0xA9b…").
  auto apart = [](char c) { return !IsWordCharacter(c) && c != '+' && c != '/'; };
  const char* const begin = p;
  for (; end - p >= 3; ++p) {
    p = static_cast<const char*>(std::memchr(p, '0', static_cast<size_t>(end - p - 2)));
    if (p == nullptr) return end;
    if ((p[1] != 'x' && p[1] != 'X') || !IsHex(p[2]) || (p > begin && !apart(p[-1]))) continue;
    const char* after = SkipDigits(p + 2, end);
    if (after == end || apart(*after)) return p;
  }
  return end;
}

const char* FindEscape(const char* p, const char* end) {
  for (; end - p >= 3; ++p) {
    p = static_cast<const char*>(std::memchr(p, '\\', static_cast<size_t>(end - p - 2)));
    if (p == nullptr) return end;
    if (p[1] == 'x' && IsHex(p[2])) return p;
  }
  return end;
}

const char* FindSqlBlob(const char* p, const char* end) {
  const char* const begin = p;
  for (; end - p >= 2; ++p) {
    p = static_cast<const char*>(std::memchr(p, '\'', static_cast<size_t>(end - p)));
    if (p == nullptr) return end;
    if (p == begin) continue;
    const char x = p[-1];
    if ((x == 'X' || x == 'x') && (p - 1 == begin || !IsWordCharacter(p[-2])) && (p + 1 < end) &&
        (IsHex(p[1]) || p[1] == '\'')) {
      return p - 1;
    }
  }
  return end;
}

const char* FindPostgresBytea(const char* p, const char* end) {
  const char* const begin = p;
  for (; end - p >= 3; ++p) {
    p = static_cast<const char*>(std::memchr(p, '\'', static_cast<size_t>(end - p)));
    if (p == nullptr) return end;
    const char* q = p + 1;
    if (q < end && *q == '\\') ++q;
    if (q < end && *q == '\\') ++q;
    if (q > p + 1 && q + 1 < end && *q == 'x' && (IsHex(q[1]) || q[1] == '\'')) {
      // E'\\x…': the literal starts at the E.
      return (p > begin && (p[-1] == 'E' || p[-1] == 'e') && q - p == 3) ? p - 1 : p;
    }
  }
  return end;
}

const char* FindDecodeCall(const char* p, const char* end) {
  // Each '(' that follows "decode" and opens on a quote.
  const char* const begin = p;
  for (const char* q = p; end - q >= 2; ++q) {
    q = static_cast<const char*>(std::memchr(q, '(', static_cast<size_t>(end - q)));
    if (q == nullptr) return end;
    const char* name = q;
    while (name > begin && IsSpace(name[-1])) --name;
    if (name - begin < 6 || !StartsWithNoCase(name - 6, name, "decode")) continue;
    const char* arg = q + 1;
    while (arg < end && IsSpace(*arg)) ++arg;
    if (arg < end && *arg == '\'') return name - 6;
  }
  return end;
}

int64_t DigitsAfterMark(const char* mark, const char* end) {
  return SkipDigits(mark + 2, end) - (mark + 2);
}

void ReadHexText(TTextReader& reader, const char* from) {
  TPendingDigit pending;
  ReadDigits<true>(reader, from, kNoStop, pending);
  EndDigits(reader, pending);
}

void ReadHexList(TTextReader& reader, const char* p, bool c_array) {
  const char* const end = reader.End();
  if (c_array) p = FindOpeningBrace(p, end) + 1;
  uint8_t* out = reader.Out();
  int64_t data = 0;
  while (p < end) {
    const char* chunk_end = std::min(end, reader.CheckAt());
    while (p < chunk_end) {
      // xxd -i's items: "0xff, "
      if (end - p >= 6 && p[0] == '0' && (p[1] | 0x20) == 'x' && p[4] == ',' && p[5] == ' ') {
        const uint8_t hi = HexValue(p[2]), lo = HexValue(p[3]);
        if ((hi | lo) < 16) {
          *out++ = static_cast<uint8_t>(hi << 4 | lo);
          data += 2;
          p += 6;
          continue;
        }
      }
      const char c = *p;
      if (IsSpace(c) || c == ',') {
        ++p;
        continue;
      }
      if (IsHexItemAt(p, end)) {
        const char* digits = p + 2;
        const char* digits_end = SkipDigits(digits, end);
        const int64_t n = digits_end - digits;
        if (n > 2) {
          reader.SetOut(out);
          out = reader.Reserve(out, (n + 1) / 2);
          if (out == nullptr) return;
        }
        out = PutDigits(out, digits, n);
        data += n;
        p = digits_end;
        continue;
      }
      const char* after_comment = SkipComment(p, end);
      if (after_comment != p) {
        p = after_comment;
        continue;
      }
      if (c_array && c == '}') {
        reader.SetOut(out);
        reader.AddData(data);
        CheckStatedLength(reader, p, reader.Written(out));
        RestIsRemoved(reader, p, FindOpeningBrace);
        return;
      }
      if (c_array && IsDecimal(c)) {
        // A C number: decimal, or octal after a leading 0.
        const char* q = p;
        const int base = (c == '0') ? 8 : 10;
        int64_t value = 0;
        while (q < end && IsDecimal(*q) && value <= 255) value = value * base + (*q++ - '0');
        while (q < end && IsDecimal(*q)) ++q;
        if (value <= 255) {
          reader.SetOut(out);
          out = reader.Reserve(out, 1);
          if (out == nullptr) return;
          *out++ = static_cast<uint8_t>(value);
          data += q - p;
        } else {
          reader.Unplaced(THexTextIssueKind::ValueTooLarge, p, q);
        }
        p = q;
        continue;
      }
      // Brackets and parentheses: a list inside an array or a call.
      if (c == '[' || c == ']' || c == '(' || c == ')' || c == ';' || (c_array && c == '{')) {
        ++p;
        continue;
      }
      const char* from = p;
      do {
        ++p;
      } while (p < end && !IsSpace(*p) && *p != ',' && *p != '}' && !IsHexItemAt(p, end));
      reader.Unplaced(THexTextIssueKind::StrayCharacter, from, p);
    }
    if (!reader.Tick(p)) break;
  }
  reader.SetOut(out);
  reader.AddData(data);
  if (c_array) CheckStatedLength(reader, end, reader.Written(out));
}

void ReadSqlServerBinary(TTextReader& reader, const char* item) {
  const char* const end = reader.End();
  const char* p = item + 2;
  // The literal is one unbroken run of digits: the codec finds where it ends.
  uint8_t* out = reader.Out();
  int64_t data = 0;
  while (end - p >= 2) {
    const int64_t chunk = std::min<int64_t>((std::min(end, reader.CheckAt()) - p) / 2, 1 << 24);
    const auto pairs = static_cast<int32_t>(std::max<int64_t>(chunk, 1));
    const int32_t got = HexTextToBytes(p, out, pairs);
    out += got;
    p += 2 * got;
    data += 2 * got;
    if (!reader.Tick(p) || got < pairs) break;
  }
  reader.SetOut(out);
  reader.AddData(data);
  if (p < end && IsHex(*p)) {
    reader.Unplaced(THexTextIssueKind::LoneDigit, p, p + 1);
    ++p;
  }
  RestIsRemoved(reader, p, FindHexItem);
}

void ReadEscapedHex(TTextReader& reader, const char* p) {
  const char* const end = reader.End();
  uint8_t* out = reader.Out();
  int64_t data = 0;
  while (p < end) {
    const char* chunk_end = std::min(end, reader.CheckAt());
    while (p < chunk_end) {
      if (end - p >= 4 && p[0] == '\\' && p[1] == 'x') {
        const uint8_t hi = HexValue(p[2]), lo = HexValue(p[3]);
        if (hi != kNotHex && lo != kNotHex) {
          *out++ = static_cast<uint8_t>(hi << 4 | lo);
          data += 2;
          p += 4;
          continue;
        }
        if (hi != kNotHex) {  // \xf: one digit, as C reads it
          *out++ = hi;
          data += 1;
          p += 3;
          continue;
        }
      }
      const char c = *p;
      // Quotes and white space: string literals in code, split over lines.
      if (IsSpace(c) || c == '"' || c == '\'') {
        ++p;
        continue;
      }
      // Python's bytes: b'\xff…'
      if ((c == 'b' || c == 'B') && p + 1 < end && (p[1] == '\'' || p[1] == '"')) {
        p += 2;
        continue;
      }
      const char* from = p;
      do {
        ++p;
      } while (p < end && *p != '\\' && !IsSpace(*p) && *p != '"' && *p != '\'');
      reader.Unplaced(THexTextIssueKind::StrayCharacter, from, p);
    }
    if (!reader.Tick(p)) break;
  }
  reader.SetOut(out);
  reader.AddData(data);
}

void ReadSqlBlob(TTextReader& reader, const char* literal) {
  TPendingDigit pending;
  const char* p = ReadDigits<false>(reader, literal + 2, '\'', pending);
  EndDigits(reader, pending);
  if (p < reader.End()) RestIsRemoved(reader, p + 1, FindSqlBlob);
}

void ReadPostgresBytea(TTextReader& reader, const char* literal) {
  // '\x…', E'\\x…', or psql's \x… without quotes.
  const char* p = literal;
  if ((*p == 'E' || *p == 'e') && p[1] == '\'') ++p;
  if (*p == '\'') ++p;
  while (*p == '\\') ++p;
  ++p;  // the x
  TPendingDigit pending;
  p = ReadDigits<false>(reader, p, '\'', pending);
  EndDigits(reader, pending);
  if (p < reader.End()) RestIsRemoved(reader, p + 1, FindPostgresBytea);
}

void ReadPostgresDecode(TTextReader& reader, const char* call) {
  const char* const end = reader.End();
  const char* p =
      static_cast<const char*>(std::memchr(call, '\'', static_cast<size_t>(end - call))) + 1;
  // The second argument says how the first is written: look past the first.
  const void* close = std::memchr(p, '\'', static_cast<size_t>(end - p));
  bool base64 = false;
  if (close != nullptr) {
    const char* q = static_cast<const char*>(close) + 1;
    while (q < end && (IsSpace(*q) || *q == ',')) ++q;
    base64 = q < end && *q == '\'' && StartsWithNoCase(q + 1, end, "base64");
  }
  if (base64) {
    p = ReadBase64Symbols(reader, p, '\'');
  } else {
    TPendingDigit pending;
    p = ReadDigits<false>(reader, p, '\'', pending);
    EndDigits(reader, pending);
  }
  if (p < end) RestIsRemoved(reader, p + 1, FindDecodeCall);
}

}  // namespace qv::text_forms
