#include "conversion/text_forms/base64.h"

#include <cstring>

namespace qv::text_forms {

namespace {

// Two symbols for each 12 bits: half the look-ups of one symbol per 6 bits.
using TSymbolPair = std::array<char, 2>;
constexpr std::array<TSymbolPair, 4096> kPairs = [] {
  std::array<TSymbolPair, 4096> pairs{};
  for (int i = 0; i < 4096; ++i) pairs[i] = {kBase64Symbols[i >> 6], kBase64Symbols[i & 63]};
  return pairs;
}();

inline void PutQuantum(uint32_t bits, char* text) {
  std::memcpy(text, kPairs[bits >> 12].data(), 2);
  std::memcpy(text + 2, kPairs[bits & 0xFFF].data(), 2);
}

}  // namespace

void BytesToBase64(const uint8_t* bytes, int64_t count, char* text) {
  int64_t i = 0;
  // Six bytes to eight symbols, written at once.
  for (; i + 6 <= count; i += 6, text += 8) {
    const uint32_t a = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    const uint32_t b =
        (uint32_t{bytes[i + 3]} << 16) | (uint32_t{bytes[i + 4]} << 8) | bytes[i + 5];
    char eight[8];
    PutQuantum(a, eight);
    PutQuantum(b, eight + 4);
    std::memcpy(text, eight, 8);
  }
  for (; i + 3 <= count; i += 3, text += 4) {
    PutQuantum((uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2], text);
  }
  const int64_t rest = count - i;
  if (rest > 0) {
    const uint32_t a = (uint32_t{bytes[i]} << 16) | (rest == 2 ? uint32_t{bytes[i + 1]} << 8 : 0);
    text[0] = kBase64Symbols[a >> 18];
    text[1] = kBase64Symbols[(a >> 12) & 63];
    text[2] = rest == 2 ? kBase64Symbols[(a >> 6) & 63] : '=';
    text[3] = '=';
  }
}

}  // namespace qv::text_forms
