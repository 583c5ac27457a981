// The hex codec's entry points: the plain table-driven code, the choice of
// path at run time, and the calls into the vector kernels where the build has
// them (QUORVANE_HEX_X86: conversion/simd/hex_codec_x86.cpp, and the AVX-512
// ones in conversion/simd/hex_codec_avx512.cpp).
#include "conversion/hex_codec.h"

#include <array>
#include <initializer_list>

#ifdef QUORVANE_HEX_X86
#include "conversion/simd/hex_codec_x86.h"
#endif

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

bool HexPathSupported(THexPath path) {
  switch (path) {
    case THexPath::Plain:
      return true;
#ifdef QUORVANE_HEX_X86
    case THexPath::SSE2:
      return __builtin_cpu_supports("sse2");
    case THexPath::SSSE3:
      return __builtin_cpu_supports("ssse3");
    case THexPath::AVX2:
      return __builtin_cpu_supports("avx2");
    // libgcc reports AVX-512 only where the system saves the registers too.
    case THexPath::AVX512BW:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    case THexPath::AVX512VBMI:
      return HexPathSupported(THexPath::AVX512BW) && __builtin_cpu_supports("avx512vbmi");
#else
    default:
      return false;
#endif
  }
  return false;
}

namespace {

// `count` bytes and their 2*count characters pass through the cache.
bool Streams(THexStores stores, int32_t count) {
  return stores == THexStores::Streaming ||
         (stores == THexStores::Auto && 3 * int64_t{count} >= kHexStreamingBytes);
}

}  // namespace

void BytesToHexTextWith(THexPath path, const uint8_t* bytes, char* text, int32_t count,
                        THexStores stores) {
  if (count <= 0) return;
#ifdef QUORVANE_HEX_X86
  const bool stream = Streams(stores, count);
#endif
  switch (path) {
#ifdef QUORVANE_HEX_X86
    case THexPath::SSE2:
      hex_x86::EncodeSse2(bytes, text, count);
      return;
    case THexPath::SSSE3:
      hex_x86::EncodeSsse3(bytes, text, count);
      return;
    case THexPath::AVX2:
      hex_x86::EncodeAvx2(bytes, text, count, stream);
      return;
    case THexPath::AVX512BW:
      hex_x86::EncodeAvx512Bw(bytes, text, count, stream);
      return;
    case THexPath::AVX512VBMI:
      hex_x86::EncodeAvx512Vbmi(bytes, text, count, stream);
      return;
#else
    (void)stores;
#endif
    default:
      BytesToHexTextPlain(bytes, text, count);
      return;
  }
}

int32_t HexTextToBytesWith(THexPath path, const char* text, uint8_t* bytes, int32_t count,
                           THexStores stores) {
  if (count <= 0) return 0;
#ifdef QUORVANE_HEX_X86
  const bool stream = Streams(stores, count);
#endif
  switch (path) {
#ifdef QUORVANE_HEX_X86
    case THexPath::SSE2:
      return hex_x86::DecodeSse2(text, bytes, count);
    case THexPath::SSSE3:
      return hex_x86::DecodeSsse3(text, bytes, count);
    case THexPath::AVX2:
      return hex_x86::DecodeAvx2(text, bytes, count, stream);
    case THexPath::AVX512BW:
      return hex_x86::DecodeAvx512Bw(text, bytes, count, stream);
    case THexPath::AVX512VBMI:
      return hex_x86::DecodeAvx512Vbmi(text, bytes, count, stream);
#else
    (void)stores;
#endif
    default:
      return HexTextToBytesPlain(text, bytes, count);
  }
}

THexPath BestHexPath() {
  static const THexPath best = [] {
    for (THexPath path : {THexPath::AVX512VBMI, THexPath::AVX512BW, THexPath::AVX2, THexPath::SSSE3,
                          THexPath::SSE2}) {
      if (HexPathSupported(path)) return path;
    }
    return THexPath::Plain;
  }();
  return best;
}

void BytesToHexText(const uint8_t* bytes, char* text, int32_t count) {
  BytesToHexTextWith(BestHexPath(), bytes, text, count);
}

int32_t HexTextToBytes(const char* text, uint8_t* bytes, int32_t count) {
  return HexTextToBytesWith(BestHexPath(), text, bytes, count);
}

}  // namespace qv
