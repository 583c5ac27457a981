#include "conversion/text_forms/base64_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "conversion/text_forms/base64.h"

namespace qv::text_forms {

namespace {

inline uint8_t ValueOf(char c) {
  return kBase64Values[static_cast<uint8_t>(c)];
}

// The 12 bits of each two ASCII symbols (the first in the low 7 bits of the
// index), or kNotSymbols.
constexpr uint16_t kNotSymbols = 0x8000;
constexpr std::array<uint16_t, 16384> kSymbolPairs = [] {
  std::array<uint16_t, 16384> pairs{};
  for (int i = 0; i < 16384; ++i) {
    const uint8_t a = kBase64Values[i & 0x7F], b = kBase64Values[i >> 7];
    pairs[i] = (a | b) < 64 ? static_cast<uint16_t>(a << 6 | b) : kNotSymbols;
  }
  return pairs;
}();

inline uint64_t SymbolPair(const char* p) {
  const unsigned a = static_cast<uint8_t>(p[0]), b = static_cast<uint8_t>(p[1]);
  return ((a | b) & 0x80) != 0 ? kNotSymbols : kSymbolPairs[a | b << 7];
}

}  // namespace

const char* ReadBase64Symbols(TTextReader& reader, const char* p, int stop) {
  const char* const end = reader.End();
  uint8_t* out = reader.Out();
  int64_t data = 0;
  uint32_t bits = 0;  // the symbols of the quantum in progress
  int symbols = 0;
  const char* first_symbol = nullptr;  // of the quantum in progress
  while (p < end) {
    const char* chunk_end = std::min(end, reader.CheckAt());
    while (p < chunk_end) {
      // Whole quanta: eight symbols to six bytes, then four to three.
      while (symbols == 0 && chunk_end - p >= 8) {
        const uint64_t a = SymbolPair(p), b = SymbolPair(p + 2), c = SymbolPair(p + 4),
                       d = SymbolPair(p + 6);
        if (((a | b | c | d) & kNotSymbols) != 0) break;
        const uint64_t v = a << 36 | b << 24 | c << 12 | d;
        for (int i = 0; i < 6; ++i) out[i] = static_cast<uint8_t>(v >> (40 - 8 * i));
        out += 6;
        data += 8;
        p += 8;
      }
      if (p == chunk_end) break;
      if (symbols == 0 && chunk_end - p >= 4) {
        const uint8_t a = ValueOf(p[0]), b = ValueOf(p[1]), c = ValueOf(p[2]), d = ValueOf(p[3]);
        if ((a | b | c | d) < 64) {
          const uint32_t v = uint32_t{a} << 18 | uint32_t{b} << 12 | uint32_t{c} << 6 | d;
          out[0] = static_cast<uint8_t>(v >> 16);
          out[1] = static_cast<uint8_t>(v >> 8);
          out[2] = static_cast<uint8_t>(v);
          out += 3;
          data += 4;
          p += 4;
          continue;
        }
      }
      const char ch = *p;
      const uint8_t v = ValueOf(ch);
      if (v < 64) {
        if (symbols == 0) first_symbol = p;
        bits = bits << 6 | v;
        data += 1;
        if (++symbols == 4) {
          out[0] = static_cast<uint8_t>(bits >> 16);
          out[1] = static_cast<uint8_t>(bits >> 8);
          out[2] = static_cast<uint8_t>(bits);
          out += 3;
          symbols = 0;
          bits = 0;
        }
        ++p;
        continue;
      }
      if (v == kBase64Blank) {
        ++p;
        continue;
      }
      if (static_cast<uint8_t>(ch) == stop) {
        chunk_end = p;
        break;
      }
      if (v == kBase64Pad) {
        // Padding ends the quantum: two symbols make one byte, three make two.
        if (symbols >= 2) {
          *out++ = static_cast<uint8_t>(bits >> (symbols == 2 ? 4 : 10));
          if (symbols == 3) *out++ = static_cast<uint8_t>(bits >> 2);
        } else if (symbols == 1) {
          reader.Unplaced(THexTextIssueKind::LoneDigit, first_symbol, first_symbol + 1);
          --data;
        }
        symbols = 0;
        bits = 0;
        ++p;
        continue;
      }
      const char* from = p;
      do {
        ++p;
      } while (p < end && ValueOf(*p) == kBase64Other && static_cast<uint8_t>(*p) != stop);
      reader.Unplaced(THexTextIssueKind::StrayCharacter, from, p);
    }
    if (p < end && static_cast<uint8_t>(*p) == stop) break;
    if (!reader.Tick(p)) break;
  }
  // A quantum without its padding.
  if (symbols >= 2) {
    *out++ = static_cast<uint8_t>(bits >> (symbols == 2 ? 4 : 10));
    if (symbols == 3) *out++ = static_cast<uint8_t>(bits >> 2);
  } else if (symbols == 1) {
    reader.Unplaced(THexTextIssueKind::LoneDigit, first_symbol, first_symbol + 1);
    --data;
  }
  reader.SetOut(out);
  reader.AddData(data);
  return p;
}

void ReadBase64Text(TTextReader& reader, const char* from) {
  ReadBase64Symbols(reader, from, 256);
}

bool ReadDataUri(TTextReader& reader, const char* from) {
  const char* const end = reader.End();
  const void* comma = std::memchr(from, ',', static_cast<size_t>(end - from));
  if (comma == nullptr) return false;
  const char* data = static_cast<const char*>(comma);
  static constexpr std::string_view kBase64 = ";base64";
  if (data - from < static_cast<int64_t>(kBase64.size()) ||
      !StartsWithNoCase(data - kBase64.size(), data, kBase64)) {
    return false;
  }
  ReadBase64Symbols(reader, data + 1, 256);
  return true;
}

}  // namespace qv::text_forms
