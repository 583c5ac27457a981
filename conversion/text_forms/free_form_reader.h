// Readers of the forms without lines of their own: plain hex, 0x lists and C
// arrays, \x escapes, SQL literals. Each reads from where the form was found
// to the end of the text, and the marks the detection looks for live here too.
#pragma once

#include "conversion/text_forms/text_reader.h"

namespace qv::text_forms {

// Where each form's mark starts in [p, end), or end when there is none.
const char* FindHexItem(const char* p, const char* end);        // 0x1f, 0X1F
const char* FindEscape(const char* p, const char* end);         // \x1f
const char* FindSqlBlob(const char* p, const char* end);        // X'…' (not inside a word)
const char* FindPostgresBytea(const char* p, const char* end);  // '\x…' or E'\\x…'
const char* FindDecodeCall(const char* p, const char* end);     // decode('…'
// The digits after the 0x or \x at `mark`.
int64_t DigitsAfterMark(const char* mark, const char* end);

void ReadHexText(TTextReader& reader, const char* from);
void ReadHexList(TTextReader& reader, const char* from, bool c_array);
void ReadSqlServerBinary(TTextReader& reader, const char* item);
void ReadEscapedHex(TTextReader& reader, const char* from);
void ReadSqlBlob(TTextReader& reader, const char* literal);
void ReadPostgresBytea(TTextReader& reader, const char* literal);
void ReadPostgresDecode(TTextReader& reader, const char* call);

}  // namespace qv::text_forms
