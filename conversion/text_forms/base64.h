// Base64 (RFC 4648): bytes to symbols and back. The writer and the recogniser
// share these, so that what one writes the other reads.
#pragma once

#include <array>
#include <cstdint>

namespace qv::text_forms {

// Symbols for `count` bytes, '=' padding included.
constexpr int64_t Base64Length(int64_t count) {
  return (count + 2) / 3 * 4;
}

// Writes Base64Length(count) symbols of the standard alphabet.
void BytesToBase64(const uint8_t* bytes, int64_t count, char* text);

// The value of each character: 0..63 for a symbol of either alphabet ("+/"
// and the URL-safe "-_"), kBase64Pad for '=', kBase64Blank for white space,
// kBase64Other for anything else.
inline constexpr uint8_t kBase64Pad = 0x40;
inline constexpr uint8_t kBase64Blank = 0x80;
inline constexpr uint8_t kBase64Other = 0xFF;
inline constexpr char kBase64Symbols[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

inline constexpr std::array<uint8_t, 256> kBase64Values = [] {
  std::array<uint8_t, 256> values{};
  for (auto& v : values) v = kBase64Other;
  for (int i = 0; i < 64; ++i)
    values[static_cast<uint8_t>(kBase64Symbols[i])] = static_cast<uint8_t>(i);
  values['-'] = 62;
  values['_'] = 63;
  values['='] = kBase64Pad;
  for (const char c : {' ', '\t', '\r', '\n', '\v', '\f'})
    values[static_cast<uint8_t>(c)] = kBase64Blank;
  return values;
}();

}  // namespace qv::text_forms
