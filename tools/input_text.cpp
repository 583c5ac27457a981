#include "tools/input_text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/exceptions.h"
#include "conversion/picture_hex.h"

namespace qv {

namespace {

// Everything `read` gives, appended to `text`: `known` bytes straight into
// the block, then whatever else comes (a pipe, a growing file) in pieces, the
// block doubling so that growing never copies more than it keeps. Text too
// long to restore (kMaxHexTextLength) fails with "Out of memory" before it is read.
template <class ReadFunction>
void ReadAll(int64_t known, const ReadFunction& read, TMemoryStream& text) {
  if (known > kMaxHexTextLength) RaiseOutOfMemory();
  if (known > 0) {
    text.SetSize(known);
    text.SetSize(read(text.Memory(), known));
  }
  text.SetPosition(text.Size());
  std::vector<uint8_t> piece(int64_t{1} << 20);
  for (;;) {
    const int64_t n = read(piece.data(), static_cast<int64_t>(piece.size()));
    if (n <= 0) break;
    const int64_t end = text.Size() + n;
    if (end > kMaxHexTextLength) RaiseOutOfMemory();
    if (end > text.Capacity()) text.SetCapacity(std::max(end, 2 * text.Capacity()));
    text.WriteBuffer(piece.data(), n);
  }
  text.SetPosition(0);
}

}  // namespace

void ReadStandardInput(TMemoryStream& text) {
  ReadAll(
      0,
      [](uint8_t* buffer, int64_t count) {
        return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), stdin));
      },
      text);
  if (std::ferror(stdin)) throw EReadError(kStreamReadErrorText);
}

void ReadAllOf(TStream& stream, int64_t known, TMemoryStream& text) {
  ReadAll(
      known, [&stream](uint8_t* buffer, int64_t count) { return stream.Read(buffer, count); },
      text);
}

void ReadWholeText(const std::string& path, TMemoryStream& text) {
  if (path == "-") {
    ReadStandardInput(text);
  } else {
    TFileStream file(path);
    ReadAllOf(file, file.Size(), text);
  }
}

std::string_view TextOf(TMemoryStream& text) {
  return std::string_view(reinterpret_cast<const char*>(text.Memory()),
                          static_cast<size_t>(text.Size()));
}

}  // namespace qv
