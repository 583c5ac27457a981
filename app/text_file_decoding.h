// A text file's bytes as the text box holds them: UTF-8. Hex text is ASCII,
// so nearly every file passes unchanged; the rest is made safe to show and
// edit, and the caller is told what changed.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

enum class TTextFileEncoding : uint8_t { Utf8, Utf8Bom, Utf16LE, Utf16BE };

struct TDecodedTextFile {
  TTextFileEncoding Encoding = TTextFileEncoding::Utf8;
  int64_t Replaced = 0;  // byte sequences that were no valid UTF-8 (or UTF-16), now U+FFFD
};

// Turns `bytes` into UTF-8 in place: a UTF-8 byte order mark is dropped, UTF-16
// with a byte order mark (as Windows' Notepad saves "Unicode") is converted,
// and every invalid sequence becomes U+FFFD, so that the box never holds bytes
// it cannot show or edit as characters.
TDecodedTextFile DecodeTextFile(std::string& bytes);

}  // namespace qv
