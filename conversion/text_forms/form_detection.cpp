#include "conversion/text_forms/form_detection.h"

#include <algorithm>
#include <cstring>

#include "conversion/text_forms/base64.h"
#include "conversion/text_forms/free_form_reader.h"

namespace qv::text_forms {

namespace {

constexpr int64_t kSample = 64 * 1024;

TDetectedForm Found(THexTextForm form, const char* at) {
  TDetectedForm detected;
  detected.Form = form;
  detected.At = at;
  return detected;
}

// Letters and marks of base64 that are not hex digits ('-' and '_' of the
// URL-safe alphabet left out: plain hex uses '-' between pairs too).
bool IsBase64Only(char c) {
  return ((c >= 'g' && c <= 'z') || (c >= 'G' && c <= 'Z') || c == '+' || c == '/');
}

bool IsPlainSeparator(char c) {
  return IsSpace(c) || c == ',' || c == ':' || c == ';' || c == '-';
}

// Base64 lines carry no blanks inside them.
bool BlanksInsideLines(const char* p, const char* end) {
  for (const char* q = p; q + 1 < end; ++q) {
    if (IsBlank(*q) && q > p && !IsSpace(q[-1]) && !IsSpace(q[1])) return true;
  }
  return false;
}

// True when '=' stands only at the end (with white space after it).
bool PaddingEnds(const char* p, const char* end) {
  const void* pad = std::memchr(p, '=', static_cast<size_t>(end - p));
  for (const char* q = static_cast<const char*>(pad); q < end; ++q) {
    if (*q != '=' && !IsSpace(*q)) return false;
  }
  return true;
}

// The plain forms, told apart by the characters of the sample.
TDetectedForm ByCharacters(const char* p, const char* sample_end) {
  int64_t hex = 0, base64_only = 0, padding = 0, other = 0;
  const char* first_other = nullptr;
  for (const char* q = p; q < sample_end; ++q) {
    const char c = *q;
    if ((static_cast<uint8_t>(c) & 0xC0) == 0x80) continue;  // counted with its first byte
    if (IsHex(c)) {
      ++hex;
    } else if (IsBase64Only(c)) {
      ++base64_only;
      if (first_other == nullptr) first_other = q;
    } else if (c == '=') {
      ++padding;
      if (first_other == nullptr) first_other = q;
    } else if (!IsPlainSeparator(c) && c != '_') {
      ++other;
      if (first_other == nullptr) first_other = q;
    }
  }
  const int64_t symbols = hex + base64_only;
  // Base64 of real data is two thirds letters that are no hex digits; a text of
  // hex digits alone is hex, even when it would also read as base64, unless
  // base64's padding ends it ("AA==").
  const bool base64_shape = other * 64 <= symbols && !BlanksInsideLines(p, sample_end);
  if (base64_shape && base64_only * 8 > symbols) return Found(THexTextForm::Base64, p);
  if (base64_shape && other == 0 && padding > 0 && padding <= 2 && (symbols + padding) % 4 == 0 &&
      PaddingEnds(p, sample_end)) {
    return Found(THexTextForm::Base64, p);
  }
  if (hex > 0 && (base64_only + padding + other) * 4 < hex) return Found(THexTextForm::Hex, p);
  TDetectedForm refused;
  refused.Refusal = THexTextRefusal::Unrecognised;
  refused.RefusedAt = first_other != nullptr ? first_other : p;
  return refused;
}

}  // namespace

TDetectedForm DetectForm(const char* begin, const char* end) {
  const char* p = begin;
  while (p < end && IsSpace(*p)) ++p;
  if (p == end) {
    TDetectedForm empty;
    empty.Refusal = THexTextRefusal::Empty;
    return empty;
  }
  if (StartsWithNoCase(p, end, "data:")) return Found(THexTextForm::DataUri, p);

  // A dump's first line may start with blanks (od -An).
  const char* line = p;
  while (line > begin && IsBlank(line[-1])) --line;
  const TDumpLayout dump = DetectDump(line, end);
  if (dump.Form != THexTextForm::None) {
    TDetectedForm detected = Found(dump.Form, line);
    detected.Dump = dump;
    return detected;
  }

  const char* sample_end = p + std::min<int64_t>(kSample, end - p);
  const char* item = FindHexItem(p, sample_end);
  const char* escape = FindEscape(p, sample_end);
  const char* bytea = FindPostgresBytea(p, sample_end);
  const char* blob = FindSqlBlob(p, sample_end);
  const char* decode = FindDecodeCall(p, sample_end);
  const char* first = std::min({item, escape, bytea, blob, decode});

  // A C array: a brace after a declarator's brackets, or before the first item.
  const void* brace_found = std::memchr(p, '{', static_cast<size_t>(sample_end - p));
  const char* brace = brace_found != nullptr ? static_cast<const char*>(brace_found) : sample_end;
  if (brace < sample_end && (first == item || first == sample_end)) {
    const void* bracket = std::memchr(p, '[', static_cast<size_t>(brace - p));
    if (brace < item || bracket != nullptr) return Found(THexTextForm::CArray, p);
  }
  // A JPEG's own start settles it: FF D8 in hex, "/9j/" in base64.
  if (first == sample_end && StartsWithNoCase(p, end, "/9j/"))
    return Found(THexTextForm::Base64, p);
  if (first == sample_end && StartsWithNoCase(p, end, "ffd8")) return Found(THexTextForm::Hex, p);
  if (first == sample_end) {
    // "0x" alone: SQL Server's empty binary.
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
      const char* q = p + 2;
      while (q < end && (IsSpace(*q) || *q == ';' || *q == ')' || *q == ',')) ++q;
      if (q == end) return Found(THexTextForm::SqlServerBinary, p);
    }
    return ByCharacters(p, sample_end);
  }
  if (first == decode) return Found(THexTextForm::PostgresDecode, decode);
  if (first == blob) return Found(THexTextForm::SqlBlob, blob);
  if (first == escape || first == bytea) {
    // PostgreSQL's bytea is one \x and a run of digits ('\x' alone when empty);
    // escapes put a \x before every byte.
    if (escape == sample_end || FindEscape(escape + 2, sample_end) == sample_end ||
        DigitsAfterMark(escape, sample_end) > 2) {
      return Found(THexTextForm::PostgresBytea, std::min(bytea, escape));
    }
    return Found(THexTextForm::EscapedHex, p);
  }
  // 0x: one literal with a long run is SQL Server's; several items, a list.
  if (DigitsAfterMark(item, sample_end) > 2 && FindHexItem(item + 2, sample_end) == sample_end) {
    return Found(THexTextForm::SqlServerBinary, item);
  }
  return Found(THexTextForm::HexList, p);
}

}  // namespace qv::text_forms
