// Reading the hex text the commands convert or check: a file, a pipe or
// standard input, whole, as the text box would hold it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/streams.h"

namespace qv {

// The name that stands for standard input in messages.
inline constexpr const char* kStandardInput = "standard input";

// Appends everything standard input gives to `text` (position 0 after).
// EReadError "Stream read error" when reading fails; text too long to restore
// (kMaxHexTextLength) fails with EOutOfMemory before it is read.
void ReadStandardInput(TMemoryStream& text);
// The same for `stream` from its position, whose first `known` bytes are
// read into the block in one piece (a file of known size), the rest as it comes.
void ReadAllOf(TStream& stream, int64_t known, TMemoryStream& text);
// The whole text of a file ("-": standard input).
void ReadWholeText(const std::string& path, TMemoryStream& text);

// The text held in `text`, in place.
std::string_view TextOf(TMemoryStream& text);

}  // namespace qv
