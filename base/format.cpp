#include "base/format.h"

#include <cstdarg>
#include <cstdio>

namespace qv {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, format, again);
  }
  va_end(again);
  return text;
}

std::string OneLineText(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line.push_back(' ');
    } else {
      line.push_back(c);
    }
  }
  while (!line.empty()) {
    const unsigned char last = static_cast<unsigned char>(line.back());
    if (last > ' ' && last != '.' && last != 0x7F) break;
    line.pop_back();
  }
  return line;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace qv
