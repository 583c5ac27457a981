#include "conversion/text_forms/strict_hex_stop.h"

#include <algorithm>
#include <vector>

#include "conversion/hex_codec.h"
#include "conversion/text_forms/text_reader.h"

namespace qv {

namespace {

// Pairs decoded per codec call, into a buffer that is thrown away.
constexpr int32_t kChunkPairs = 1 << 16;

THexStopCause CauseOf(std::string_view text, int64_t offset) {
  const auto c = static_cast<uint8_t>(text[static_cast<size_t>(offset)]);
  if (c == '\r' || c == '\n') return THexStopCause::LineBreak;
  if (c == ' ') return THexStopCause::Blank;
  if (c == '\t') return THexStopCause::Tab;
  if ((c == 'x' || c == 'X') && offset > 0 && text[static_cast<size_t>(offset - 1)] == '0')
    return THexStopCause::ZeroXPrefix;
  if (c >= 0x80) return THexStopCause::NonAscii;
  if (c < 0x20 || c == 0x7F) return THexStopCause::Control;
  return THexStopCause::NotHexDigit;
}

// Decodes into `out` (advancing by the pairs decoded) or, without one, into
// a small buffer that is thrown away.
TStrictHexStop Read(std::string_view text, uint8_t* out) {
  TStrictHexStop stop;
  stop.Length = static_cast<int64_t>(text.size());
  const int64_t wanted = stop.Length / 2;
  std::vector<uint8_t> scratch(
      out != nullptr ? 0 : static_cast<size_t>(std::min<int64_t>(kChunkPairs, wanted)));
  int64_t decoded = 0;
  while (decoded < wanted) {
    const auto want = static_cast<int32_t>(std::min<int64_t>(kChunkPairs, wanted - decoded));
    uint8_t* into = out != nullptr ? out + decoded : scratch.data();
    const int32_t got = HexTextToBytes(text.data() + 2 * decoded, into, want);
    decoded += got;
    if (got < want) break;
  }
  stop.Bytes = decoded;
  if (decoded < wanted) {
    int64_t at = 2 * decoded;
    if (text_forms::IsHex(text[static_cast<size_t>(at)])) ++at;  // the pair's second character
    stop.Stopped = true;
    stop.Offset = at;
    stop.Cause = CauseOf(text, at);
    stop.Character = text_forms::DecodeCharacter(text.data() + at, text.data() + text.size());
  } else if (stop.Length % 2 == 1) {
    stop.Stopped = true;
    stop.Offset = stop.Length - 1;
    stop.Cause = THexStopCause::LoneLastDigit;
    stop.Character =
        text_forms::DecodeCharacter(text.data() + stop.Offset, text.data() + text.size());
    if (!text_forms::IsHex(text.back())) stop.Cause = CauseOf(text, stop.Offset);
  }
  return stop;
}

}  // namespace

TStrictHexStop FindStrictHexStop(std::string_view text) {
  return Read(text, nullptr);
}

TStrictHexStop ReadStrictHex(std::string_view text, std::string& bytes) {
  // Room for every pair; a stop only shortens it.
  bytes.resize(text.size() / 2);
  const TStrictHexStop stop = Read(text, reinterpret_cast<uint8_t*>(bytes.data()));
  bytes.resize(static_cast<size_t>(stop.Bytes));
  return stop;
}

}  // namespace qv
