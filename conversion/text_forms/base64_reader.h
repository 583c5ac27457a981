// Readers of base64 text and data URIs.
#pragma once

#include "conversion/text_forms/text_reader.h"

namespace qv::text_forms {

// Reads base64 from `p` until the character `stop` (256: none) or the end;
// white space and line breaks anywhere, '=' padding ends a quantum. Returns
// where it stopped.
const char* ReadBase64Symbols(TTextReader& reader, const char* p, int stop);

void ReadBase64Text(TTextReader& reader, const char* from);

// `from` is at "data:"; false when the URI's data is not base64 (nothing read).
bool ReadDataUri(TTextReader& reader, const char* from);

}  // namespace qv::text_forms
