#include "conversion/hex_codec_plain.h"

#include <array>

namespace qv {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Digit value per character code; 0xFF marks "not a hex digit".
constexpr std::array<uint8_t, 256> MakeValueTable() {
  std::array<uint8_t, 256> table{};
  for (auto& v : table) v = 0xFF;
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<uint8_t>(c - 'a' + 10);
  return table;
}
constexpr std::array<uint8_t, 256> kValues = MakeValueTable();

}  // namespace

void BytesToHexTextPlain(const uint8_t* bytes, char* text, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
}

int32_t HexTextToBytesPlain(const char* text, uint8_t* bytes, int32_t count) {
  int32_t remaining = count;
  while (remaining > 0) {
    const uint8_t high = kValues[static_cast<uint8_t>(text[0])];
    if (high == 0xFF) break;
    const uint8_t low = kValues[static_cast<uint8_t>(text[1])];
    if (low == 0xFF) break;
    *bytes++ = static_cast<uint8_t>(high << 4 | low);
    text += 2;
    --remaining;
  }
  return count > 0 ? count - remaining : 0;
}

}  // namespace qv
