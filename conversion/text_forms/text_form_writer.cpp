#include "conversion/text_forms/text_form_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "base/exceptions.h"
#include "base/platform.h"
#include "conversion/hex_codec.h"
#include "conversion/text_forms/base64.h"

namespace qv {

namespace {

using text_forms::Base64Length;
using text_forms::BytesToBase64;

constexpr TTextFormInfo kInfo[] = {
    {TTextForm::HexUpper, "hex", "txt"},
    {TTextForm::HexLower, "hex-lower", "txt"},
    {TTextForm::HexPairs16, "pairs16", "txt"},
    {TTextForm::HexPairs32, "pairs32", "txt"},
    {TTextForm::HexList, "0x-list", "txt"},
    {TTextForm::EscapedHex, "escaped", "txt"},
    {TTextForm::CArray, "c-array", "h"},
    {TTextForm::SqlBlob, "sql", "sql"},
    {TTextForm::SqlServerBinary, "sql-server", "sql"},
    {TTextForm::PostgresBytea, "postgresql", "sql"},
    {TTextForm::Base64, "base64", "b64"},
    {TTextForm::Base64Lines, "base64-lines", "b64"},
    {TTextForm::DataUri, "data-uri", "txt"},
};

constexpr int kListPerLine = 12;      // xxd -i
constexpr int kBase64LineBytes = 57;  // 76 symbols

// A table of short fixed strings, one per byte value.
template <size_t N>
using TByteTable = std::array<std::array<char, N>, 256>;

template <size_t N>
constexpr TByteTable<N> MakeTable(const char* before, const char* digits, const char* after) {
  TByteTable<N> table{};
  for (int b = 0; b < 256; ++b) {
    size_t i = 0;
    for (const char* p = before; *p != '\0'; ++p) table[b][i++] = *p;
    table[b][i++] = digits[b >> 4];
    table[b][i++] = digits[b & 15];
    for (const char* p = after; *p != '\0'; ++p) table[b][i++] = *p;
  }
  return table;
}

constexpr const char* kUpper = "0123456789ABCDEF";
constexpr const char* kLower = "0123456789abcdef";
constexpr TByteTable<4> kSpacedPairs = MakeTable<4>("", kUpper, "  ");
constexpr TByteTable<8> kListItems = MakeTable<8>("0x", kLower, ",   ");
constexpr TByteTable<4> kEscapes = MakeTable<4>("\\x", kLower, "");

// Bytes a block of the body starts on: a whole number of lines (or of base64
// quanta), so that each block is written on its own.
int64_t BlockUnit(TTextForm form) {
  switch (form) {
    case TTextForm::HexPairs16:
      return 16;
    case TTextForm::HexPairs32:
      return 32;
    case TTextForm::HexList:
    case TTextForm::CArray:
      return kListPerLine;
    case TTextForm::Base64:
    case TTextForm::DataUri:
      return 3;
    case TTextForm::Base64Lines:
      return kBase64LineBytes;
    default:
      return 1;
  }
}

int64_t LinesOf(int64_t count, int64_t per_line) {
  return (count + per_line - 1) / per_line;
}

int64_t BodyLength(TTextForm form, int64_t count) {
  switch (form) {
    case TTextForm::HexUpper:
    case TTextForm::HexLower:
    case TTextForm::SqlBlob:
    case TTextForm::SqlServerBinary:
    case TTextForm::PostgresBytea:
      return 2 * count;
    case TTextForm::HexPairs16:
    case TTextForm::HexPairs32:
      return 3 * count;  // every pair is followed by a blank or a line break
    case TTextForm::HexList:
    case TTextForm::CArray: {
      if (count == 0) return 0;
      // "  " and "\n" a line, ", " between items, "," after every line but the last.
      const int64_t lines = LinesOf(count, kListPerLine);
      return 6 * count + 2 * lines - 1;
    }
    case TTextForm::EscapedHex:
      return 4 * count;
    case TTextForm::Base64:
    case TTextForm::DataUri:
      return Base64Length(count);
    case TTextForm::Base64Lines: {
      const int64_t symbols = Base64Length(count);
      return symbols + LinesOf(symbols, 76);
    }
  }
  return 0;
}

std::string Head(TTextForm form, const TTextFormOptions& options) {
  switch (form) {
    case TTextForm::CArray:
      if (options.FileName.empty()) return {};
      return "unsigned char " + CArrayName(options.FileName) + "[] = {\n";
    case TTextForm::SqlBlob:
      return "X'";
    case TTextForm::SqlServerBinary:
      return "0x";
    case TTextForm::PostgresBytea:
      return "'\\x";
    case TTextForm::DataUri:
      return "data:" + options.MediaType + ";base64,";
    default:
      return {};
  }
}

std::string Tail(TTextForm form, int64_t count, const TTextFormOptions& options) {
  switch (form) {
    case TTextForm::CArray:
      if (options.FileName.empty()) return {};
      return "};\nunsigned int " + CArrayName(options.FileName) +
             "_len = " + std::to_string(count) + ";\n";
    case TTextForm::SqlBlob:
      return "'";
    case TTextForm::PostgresBytea:
      return "'::bytea";
    default:
      return {};
  }
}

template <size_t N>
char* PutItem(char* out, const TByteTable<N>& table, uint8_t byte) {
  std::memcpy(out, table[byte].data(), N);
  return out + N;
}

char* PutUpperHex(const uint8_t* bytes, int64_t n, char* out) {
  // The codec takes 32-bit counts.
  constexpr int64_t kStep = int64_t{1} << 30;
  for (int64_t done = 0; done < n; done += kStep) {
    const int64_t step = std::min(kStep, n - done);
    BytesToHexText(bytes + done, out, static_cast<int32_t>(step));
    out += 2 * step;
  }
  return out;
}

// Lower case from the codec's upper case: every digit and letter it writes
// has bit 5 clear only for 'A'..'F', which setting it turns into 'a'..'f'.
char* PutLowerHex(const uint8_t* bytes, int64_t n, char* out) {
  char* const start = out;
  out = PutUpperHex(bytes, n, out);
  constexpr uint64_t kCase = 0x2020202020202020u;
  char* p = start;
  for (; out - p >= 8; p += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    w |= kCase;
    std::memcpy(p, &w, 8);
  }
  for (; p < out; ++p) *p = static_cast<char>(*p | 0x20);
  return out;
}

// Writes the body for bytes [first, first + n) of `count`, `first` being a
// multiple of BlockUnit(form). Returns the end of what was written.
char* PutBody(TTextForm form, const uint8_t* bytes, int64_t first, int64_t n, int64_t count,
              char* out) {
  switch (form) {
    case TTextForm::HexUpper:
    case TTextForm::SqlBlob:
    case TTextForm::SqlServerBinary:
      return PutUpperHex(bytes, n, out);
    case TTextForm::HexLower:
    case TTextForm::PostgresBytea:
      return PutLowerHex(bytes, n, out);
    case TTextForm::HexPairs16:
    case TTextForm::HexPairs32: {
      const int64_t per_line = BlockUnit(form);
      for (int64_t line = 0; line < n; line += per_line) {
        const int64_t k = std::min(per_line, n - line);
        // Four characters a pair, the fourth overwritten by the next pair.
        for (int64_t i = 0; i + 1 < k; ++i) {
          std::memcpy(out, kSpacedPairs[bytes[line + i]].data(), 4);
          out += 3;
        }
        std::memcpy(out, kSpacedPairs[bytes[line + k - 1]].data(), 2);
        out += 2;
        *out++ = '\n';
      }
      return out;
    }
    case TTextForm::HexList:
    case TTextForm::CArray: {
      for (int64_t line = 0; line < n; line += kListPerLine) {
        const int64_t k = std::min<int64_t>(kListPerLine, n - line);
        *out++ = ' ';
        *out++ = ' ';
        // Eight characters an item, the last two overwritten by the next one.
        for (int64_t i = 0; i + 1 < k; ++i) {
          std::memcpy(out, kListItems[bytes[line + i]].data(), 8);
          out += 6;
        }
        std::memcpy(out, kListItems[bytes[line + k - 1]].data(), 6);
        out += 6;
        // The last item drops its blank, and the list's last item its comma too.
        if (first + line + k == count) {
          out -= 2;
        } else {
          out -= 1;
        }
        *out++ = '\n';
      }
      return out;
    }
    case TTextForm::EscapedHex:
      for (int64_t i = 0; i < n; ++i) out = PutItem(out, kEscapes, bytes[i]);
      return out;
    case TTextForm::Base64:
    case TTextForm::DataUri:
      BytesToBase64(bytes, n, out);
      return out + Base64Length(n);
    case TTextForm::Base64Lines:
      for (int64_t line = 0; line < n; line += kBase64LineBytes) {
        const int64_t k = std::min<int64_t>(kBase64LineBytes, n - line);
        BytesToBase64(bytes + line, k, out);
        out += Base64Length(k);
        *out++ = '\n';
      }
      return out;
  }
  return out;
}

// Bytes per piece of the streaming form: pieces of one to six megabytes of text.
constexpr int64_t kPieceBytes = int64_t{1} << 20;

}  // namespace

const TTextFormInfo& TextFormInfo(TTextForm form) {
  for (const TTextFormInfo& info : kInfo) {
    if (info.Form == form) return info;
  }
  return kInfo[0];
}

bool TextFormByKey(std::string_view key, TTextForm& form) {
  for (const TTextFormInfo& info : kInfo) {
    if (key == info.Key) {
      form = info.Form;
      return true;
    }
  }
  return false;
}

std::string CArrayName(std::string_view file_name) {
  std::string name;
  if (!file_name.empty() && file_name[0] >= '0' && file_name[0] <= '9') name = "__";
  for (const char c : file_name) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    name += alnum ? c : '_';
  }
  return name;
}

int64_t TextFormLength(TTextForm form, int64_t count, const TTextFormOptions& options) {
  return static_cast<int64_t>(Head(form, options).size()) + BodyLength(form, count) +
         static_cast<int64_t>(Tail(form, count, options).size());
}

std::string WriteTextForm(TTextForm form, std::string_view bytes, const TTextFormOptions& options) {
  const auto count = static_cast<int64_t>(bytes.size());
  const std::string head = Head(form, options);
  const std::string tail = Tail(form, count, options);
  const int64_t length = static_cast<int64_t>(head.size() + tail.size()) + BodyLength(form, count);
  if (static_cast<uint64_t>(length) > PhysicalMemoryLimit()) RaiseOutOfMemory();
  std::string text;
  try {
    text.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
  char* out = text.data();
  std::memcpy(out, head.data(), head.size());
  out = PutBody(form, reinterpret_cast<const uint8_t*>(bytes.data()), 0, count, count,
                out + head.size());
  std::memcpy(out, tail.data(), tail.size());
  return text;
}

TWriteOutcome WriteTextFormTo(TTextForm form, std::string_view bytes,
                              const TTextFormOptions& options, const TTextSink& sink,
                              const TProgressCallback& progress) {
  const auto count = static_cast<int64_t>(bytes.size());
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const int64_t unit = BlockUnit(form);
  const int64_t block = kPieceBytes / unit * unit;
  std::string piece = Head(form, options);
  const size_t head_size = piece.size();
  piece.resize(head_size + static_cast<size_t>(BodyLength(form, std::min(block, count)) + 2));
  size_t start = head_size;
  for (int64_t first = 0; first < count; first += block) {
    const int64_t n = std::min(block, count - first);
    char* end = PutBody(form, data + first, first, n, count, piece.data() + start);
    if (!sink(std::string_view(piece.data(), static_cast<size_t>(end - piece.data()))))
      return TWriteOutcome::Stopped;
    start = 0;
    if (progress && !progress(first + n, count)) return TWriteOutcome::Cancelled;
  }
  std::string tail = Tail(form, count, options);
  // No bytes: the head has not gone out yet.
  if (count == 0) tail = piece.substr(0, head_size) + tail;
  if (!tail.empty() && !sink(tail)) return TWriteOutcome::Stopped;
  return TWriteOutcome::Done;
}

}  // namespace qv
