// The x86 kernels of the hex codec (SSE2, SSSE3, AVX2). The build adds this
// file on x86 only; hex_codec_dispatch_x86.cpp chooses among them at run time. Each gives
// exactly the plain code's result, the stopping pair included.
//
// The decoders must not fault on characters past the one that stops them: the
// caller may hand a string that ends (with a NUL, say) just before an
// unreadable page. A block is therefore read by vector loads only when it lies
// within the page of its first character, which is always readable; a block
// that crosses a page boundary goes through the plain code. Within a page,
// reading ahead is harmless. The sanitizer cannot know this, hence
// no_sanitize_address.
#include "conversion/simd/hex_codec_x86.h"

#include <immintrin.h>

#include <cstddef>

#include "conversion/hex_codec_plain.h"

namespace qv::hex_x86 {

namespace {

#define QV_NO_ASAN __attribute__((no_sanitize_address))

constexpr uintptr_t kPageSize = 4096;  // the smallest page size of x86

inline bool CrossesPage(const char* p, uintptr_t length) {
  return (reinterpret_cast<uintptr_t>(p) & (kPageSize - 1)) > kPageSize - length;
}

// ---- encoding ----

__attribute__((target("sse2"))) inline __m128i NibblesToDigitsSse2(__m128i nibbles) {
  // '0' + n, plus 7 more for 10..15 to reach 'A'.
  const __m128i over9 = _mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9));
  return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')),
                      _mm_and_si128(over9, _mm_set1_epi8(7)));
}

}  // namespace

__attribute__((target("sse2"))) void EncodeSse2(const uint8_t* bytes, char* text, int32_t count) {
  const __m128i low_mask = _mm_set1_epi8(0x0F);
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i hi = NibblesToDigitsSse2(_mm_and_si128(_mm_srli_epi16(v, 4), low_mask));
    const __m128i lo = NibblesToDigitsSse2(_mm_and_si128(v, low_mask));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(text + 2 * i), _mm_unpacklo_epi8(hi, lo));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(text + 2 * i + 16), _mm_unpackhi_epi8(hi, lo));
  }
  BytesToHexTextPlain(bytes + i, text + 2 * i, count - i);
}

__attribute__((target("ssse3"))) void EncodeSsse3(const uint8_t* bytes, char* text, int32_t count) {
  const __m128i digits =
      _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
  const __m128i low_mask = _mm_set1_epi8(0x0F);
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i hi = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(v, 4), low_mask));
    const __m128i lo = _mm_shuffle_epi8(digits, _mm_and_si128(v, low_mask));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(text + 2 * i), _mm_unpacklo_epi8(hi, lo));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(text + 2 * i + 16), _mm_unpackhi_epi8(hi, lo));
  }
  BytesToHexTextPlain(bytes + i, text + 2 * i, count - i);
}

namespace {

template <bool kStream>
__attribute__((target("avx2"))) void EncodeAvx2Blocks(const uint8_t* bytes, char* text,
                                                      int32_t count) {
  const __m256i digits = _mm256_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A',
                                          'B', 'C', 'D', 'E', 'F', '0', '1', '2', '3', '4', '5',
                                          '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
  const __m256i low_mask = _mm256_set1_epi8(0x0F);
  int32_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
    const __m256i hi =
        _mm256_shuffle_epi8(digits, _mm256_and_si256(_mm256_srli_epi16(v, 4), low_mask));
    const __m256i lo = _mm256_shuffle_epi8(digits, _mm256_and_si256(v, low_mask));
    // unpack works per 128-bit lane: [0-7|16-23] and [8-15|24-31].
    const __m256i a = _mm256_unpacklo_epi8(hi, lo);
    const __m256i b = _mm256_unpackhi_epi8(hi, lo);
    __m256i* out = reinterpret_cast<__m256i*>(text + 2 * i);
    if constexpr (kStream) {
      _mm256_stream_si256(out, _mm256_permute2x128_si256(a, b, 0x20));
      _mm256_stream_si256(out + 1, _mm256_permute2x128_si256(a, b, 0x31));
    } else {
      _mm256_storeu_si256(out, _mm256_permute2x128_si256(a, b, 0x20));
      _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(a, b, 0x31));
    }
  }
  EncodeSsse3(bytes + i, text + 2 * i, count - i);
}

}  // namespace

__attribute__((target("avx2"))) void EncodeAvx2(const uint8_t* bytes, char* text, int32_t count,
                                                bool stream) {
  // Streaming stores need 32-byte aligned text, which pairs reach from an even
  // start; 64 lets each step fill a whole cache line.
  if (!stream || (reinterpret_cast<uintptr_t>(text) & 1) != 0) {
    EncodeAvx2Blocks<false>(bytes, text, count);
    return;
  }
  int32_t head = static_cast<int32_t>(((64 - (reinterpret_cast<uintptr_t>(text) & 63)) & 63) / 2);
  if (head > count) head = count;
  EncodeSsse3(bytes, text, head);
  EncodeAvx2Blocks<true>(bytes + head, text + 2 * head, count - head);
  _mm_sfence();
}

// ---- decoding ----

namespace {

// Digit values of 16 characters; `valid` gets 0xFF where the character is a digit.
__attribute__((target("sse2"))) inline __m128i DigitValuesSse2(__m128i c, __m128i& valid) {
  const __m128i d = _mm_sub_epi8(c, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
  const __m128i l = _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  const __m128i is_letter = _mm_cmpeq_epi8(_mm_min_epu8(l, _mm_set1_epi8(5)), l);
  valid = _mm_or_si128(is_digit, is_letter);
  return _mm_or_si128(_mm_and_si128(d, is_digit),
                      _mm_and_si128(_mm_add_epi8(l, _mm_set1_epi8(10)), is_letter));
}

// Pairs of values (high at the even byte) to 8 bytes in the low 64 bits... of 8 words.
__attribute__((target("sse2"))) inline __m128i PairsToWordsSse2(__m128i values) {
  return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0x00FF)), 4),
                      _mm_srli_epi16(values, 8));
}

__attribute__((target("ssse3"))) inline __m128i PairsToWordsSsse3(__m128i values) {
  return _mm_maddubs_epi16(values, _mm_set1_epi16(0x0110));
}

template <bool kSsse3>
QV_NO_ASAN inline int32_t DecodeSse(const char* text, uint8_t* bytes, int32_t count) {
  if (count <= 0) return 0;
  int32_t done = 0;
  while (count - done >= 16) {
    const char* p = text + 2 * done;
    if (CrossesPage(p, 32)) {
      const int32_t n = HexTextToBytesPlain(p, bytes + done, 16);
      done += n;
      if (n < 16) return done;
      continue;
    }
    __m128i valid0, valid1;
    const __m128i v0 =
        DigitValuesSse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), valid0);
    if (_mm_movemask_epi8(valid0) != 0xFFFF) break;
    const __m128i v1 =
        DigitValuesSse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), valid1);
    if (_mm_movemask_epi8(valid1) != 0xFFFF) break;
    __m128i w0, w1;
    if constexpr (kSsse3) {
      w0 = PairsToWordsSsse3(v0);
      w1 = PairsToWordsSsse3(v1);
    } else {
      w0 = PairsToWordsSse2(v0);
      w1 = PairsToWordsSse2(v1);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + done), _mm_packus_epi16(w0, w1));
    done += 16;
  }
  return done + HexTextToBytesPlain(text + 2 * done, bytes + done, count - done);
}

}  // namespace

__attribute__((target("sse2"))) QV_NO_ASAN int32_t DecodeSse2(const char* text, uint8_t* bytes,
                                                              int32_t count) {
  return DecodeSse<false>(text, bytes, count);
}

__attribute__((target("ssse3"))) QV_NO_ASAN int32_t DecodeSsse3(const char* text, uint8_t* bytes,
                                                                int32_t count) {
  return DecodeSse<true>(text, bytes, count);
}

namespace {

// Digit values of 32 characters by two nibble lookups: `valid` gets a non-zero
// byte exactly where the character is a hex digit.
//   high nibble 3 -> class 1 (digits), 4 or 6 -> class 2 (letters);
//   low nibble 0..9 allowed in class 1, 1..6 in class 2.
__attribute__((target("avx2"))) inline __m256i DigitValuesAvx2(__m256i c, __m256i& valid) {
  const __m256i class_of_high = _mm256_setr_epi8(0, 0, 0, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                 0, 0, 0, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i classes_of_low =
      _mm256_setr_epi8(1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0,  //
                       1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0);
  const __m256i letter_bias = _mm256_setr_epi8(0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                               0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi16(c, 4), nibble);
  const __m256i low = _mm256_and_si256(c, nibble);
  valid = _mm256_and_si256(_mm256_shuffle_epi8(class_of_high, high),
                           _mm256_shuffle_epi8(classes_of_low, low));
  return _mm256_add_epi8(low, _mm256_shuffle_epi8(letter_bias, high));
}

template <bool kStream>
__attribute__((target("avx2"))) QV_NO_ASAN inline int32_t DecodeAvx2Blocks(const char* text,
                                                                           uint8_t* bytes,
                                                                           int32_t count) {
  int32_t done = 0;
  const __m256i weights = _mm256_set1_epi16(0x0110);
  const __m256i zero = _mm256_setzero_si256();
  while (count - done >= 64) {
    const char* p = text + 2 * done;
    if (CrossesPage(p, 128)) {
      const int32_t n = HexTextToBytesPlain(p, bytes + done, 64);
      done += n;
      if (n < 64) break;
      continue;
    }
    __m256i ok0, ok1, ok2, ok3;
    const __m256i v0 =
        DigitValuesAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), ok0);
    const __m256i v1 =
        DigitValuesAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), ok1);
    const __m256i v2 =
        DigitValuesAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64)), ok2);
    const __m256i v3 =
        DigitValuesAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 96)), ok3);
    const __m256i all_ok = _mm256_min_epu8(_mm256_min_epu8(ok0, ok1), _mm256_min_epu8(ok2, ok3));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(all_ok, zero)) != 0)
      break;  // the tail finds the stop
    const __m256i a =
        _mm256_packus_epi16(_mm256_maddubs_epi16(v0, weights), _mm256_maddubs_epi16(v1, weights));
    const __m256i b =
        _mm256_packus_epi16(_mm256_maddubs_epi16(v2, weights), _mm256_maddubs_epi16(v3, weights));
    // packus interleaves the 128-bit lanes: restore byte order.
    __m256i* out = reinterpret_cast<__m256i*>(bytes + done);
    if constexpr (kStream) {
      _mm256_stream_si256(out, _mm256_permute4x64_epi64(a, 0xD8));
      _mm256_stream_si256(out + 1, _mm256_permute4x64_epi64(b, 0xD8));
    } else {
      _mm256_storeu_si256(out, _mm256_permute4x64_epi64(a, 0xD8));
      _mm256_storeu_si256(out + 1, _mm256_permute4x64_epi64(b, 0xD8));
    }
    done += 64;
  }
  return done;
}

}  // namespace

__attribute__((target("avx2"))) QV_NO_ASAN int32_t DecodeAvx2(const char* text, uint8_t* bytes,
                                                              int32_t count, bool stream) {
  if (count <= 0) return 0;
  int32_t done = 0;
  if (stream && count >= 256) {
    // Streaming stores want the bytes 32-byte aligned; 64 lets each step fill a whole cache line.
    const int32_t head =
        static_cast<int32_t>((64 - (reinterpret_cast<uintptr_t>(bytes) & 63)) & 63);
    done = HexTextToBytesPlain(text, bytes, head);
    if (done < head) return done;
    done += DecodeAvx2Blocks<true>(text + 2 * done, bytes + done, count - done);
    _mm_sfence();
  } else {
    // Loads that start on a 32-byte boundary never split a cache line; pairs
    // get there when the text starts on an even address.
    if ((reinterpret_cast<uintptr_t>(text) & 1) == 0 && count >= 256) {
      const int32_t head =
          static_cast<int32_t>(((32 - (reinterpret_cast<uintptr_t>(text) & 31)) & 31) / 2);
      done = HexTextToBytesPlain(text, bytes, head);
      if (done < head) return done;
    }
    done += DecodeAvx2Blocks<false>(text + 2 * done, bytes + done, count - done);
  }
  return done + DecodeSsse3(text + 2 * done, bytes + done, count - done);
}

}  // namespace qv::hex_x86
