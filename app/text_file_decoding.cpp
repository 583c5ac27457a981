#include "app/text_file_decoding.h"

#include <cstring>

#include "base/format.h"

namespace qv {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at p (at most `left` bytes), or 0.
size_t ValidSequence(const unsigned char* p, size_t left) {
  const unsigned char c = p[0];
  size_t length = 0;
  char32_t min = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (left < length) return 0;
  char32_t value = c & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

// Offset of the first byte that needs a look (not ASCII), or the size.
size_t AsciiPrefix(const std::string& bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  for (; i + 8 <= n; i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, 8);
    if ((word & 0x8080808080808080ull) != 0) break;
  }
  while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  return i;
}

int64_t RepairUtf8(std::string& bytes) {
  size_t i = AsciiPrefix(bytes);
  if (i == bytes.size()) return 0;
  // Valid UTF-8 is left as it is; only a file with invalid sequences is copied.
  size_t scan = i;
  while (scan < bytes.size()) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + scan;
    if (*p < 0x80) {
      ++scan;
      continue;
    }
    const size_t length = ValidSequence(p, bytes.size() - scan);
    if (length == 0) break;
    scan += length;
  }
  if (scan == bytes.size()) return 0;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  out.append(bytes, 0, scan);
  int64_t replaced = 0;
  for (i = scan; i < bytes.size();) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + i;
    if (*p < 0x80) {
      out += static_cast<char>(*p);
      ++i;
      continue;
    }
    const size_t length = ValidSequence(p, bytes.size() - i);
    if (length == 0) {
      out += kReplacement;
      ++replaced;
      ++i;
    } else {
      out.append(bytes, i, length);
      i += length;
    }
  }
  bytes.swap(out);
  return replaced;
}

int64_t FromUtf16(std::string& bytes, bool little_endian) {
  std::string out;
  out.reserve(bytes.size() / 2);
  int64_t replaced = 0;
  const size_t units = (bytes.size() - 2) / 2;
  auto unit = [&](size_t k) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 2 + 2 * k;
    return static_cast<char32_t>(little_endian ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1]);
  };
  for (size_t k = 0; k < units; ++k) {
    char32_t c = unit(k);
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
        unit(k + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += kReplacement;
      ++replaced;
      continue;
    }
    AppendUtf8(out, c);
  }
  if (bytes.size() % 2 != 0) {
    out += kReplacement;  // half a character at the end
    ++replaced;
  }
  bytes.swap(out);
  return replaced;
}

}  // namespace

TDecodedTextFile DecodeTextFile(std::string& bytes) {
  TDecodedTextFile result;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    result.Encoding = TTextFileEncoding::Utf16LE;
    result.Replaced = FromUtf16(bytes, true);
    return result;
  }
  if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
    result.Encoding = TTextFileEncoding::Utf16BE;
    result.Replaced = FromUtf16(bytes, false);
    return result;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    result.Encoding = TTextFileEncoding::Utf8Bom;
    bytes.erase(0, 3);
  }
  result.Replaced = RepairUtf8(bytes);
  return result;
}

}  // namespace qv
