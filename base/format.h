// printf-style formatting of the system's message texts ("JPEG error #%d").
#pragma once

#include <string>

namespace qv {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A system's error text as one line of a message: each line break becomes one
// blank, and trailing blanks, control characters and full stops go.
std::string OneLineText(const std::string& text);

// Appends the code point `c` (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace qv
