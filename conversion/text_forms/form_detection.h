// Which form a text is in, from its first 64 KB: the marks each form starts
// with, the shape of a dump's lines, or the characters a run of plain hex or
// base64 is made of.
#pragma once

#include "conversion/text_forms/dump_reader.h"
#include "conversion/text_forms/hex_text_recogniser.h"

namespace qv::text_forms {

struct TDetectedForm {
  THexTextForm Form = THexTextForm::None;
  const char* At = nullptr;  // where reading starts: the form's mark, or the first character
  TDumpLayout Dump;          // for the dumps
  THexTextRefusal Refusal = THexTextRefusal::None;
  const char* RefusedAt = nullptr;
};

TDetectedForm DetectForm(const char* begin, const char* end);

}  // namespace qv::text_forms
