#include "conversion/text_forms/hex_text_recogniser.h"

#include <algorithm>

#include "base/exceptions.h"
#include "conversion/hex_codec.h"
#include "conversion/text_forms/base64_reader.h"
#include "conversion/text_forms/dump_reader.h"
#include "conversion/text_forms/form_detection.h"
#include "conversion/text_forms/free_form_reader.h"
#include "conversion/text_forms/text_reader.h"

namespace qv {

using namespace text_forms;

namespace {

// Bytes a form can make at most from `length` characters (a dump's repeats aside).
int64_t MostBytes(THexTextForm form, int64_t length) {
  switch (form) {
    case THexTextForm::Base64:
    case THexTextForm::DataUri:
    case THexTextForm::PostgresDecode:
      return length / 4 * 3 + 3;
    default:
      return length / 2 + 1;
  }
}

TRecognition Refused(std::string_view text, THexTextRefusal why, const char* at) {
  TRecognition result;
  result.Refusal = why;
  result.Characters = CountCharacters(text.data(), text.data() + text.size());
  if (at != nullptr) {
    result.RefusedAt.Offset = at - text.data();
    THexTextPlace* place = &result.RefusedAt;
    LocatePlaces(text, &place, 1);
  }
  return result;
}

}  // namespace

TRecognition RecogniseHexText(std::string_view text, const TRecogniseOptions& options) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const TDetectedForm detected = DetectForm(begin, end);
  if (detected.Refusal != THexTextRefusal::None) {
    return Refused(text, detected.Refusal, detected.RefusedAt);
  }
  TRecognition result;
  TTextReader reader(text, options, result,
                     MostBytes(detected.Form, static_cast<int64_t>(text.size())));
  switch (detected.Form) {
    case THexTextForm::Hex:
      ReadHexText(reader, detected.At);
      break;
    case THexTextForm::HexList:
      ReadHexList(reader, detected.At, false);
      break;
    case THexTextForm::CArray:
      ReadHexList(reader, detected.At, true);
      break;
    case THexTextForm::EscapedHex:
      ReadEscapedHex(reader, detected.At);
      break;
    case THexTextForm::XxdDump:
    case THexTextForm::HexdumpCanonical:
    case THexTextForm::OdBytes:
    case THexTextForm::WordDump:
      ReadDump(reader, detected.At, detected.Dump);
      break;
    case THexTextForm::SqlBlob:
      ReadSqlBlob(reader, detected.At);
      break;
    case THexTextForm::SqlServerBinary:
      ReadSqlServerBinary(reader, detected.At);
      break;
    case THexTextForm::PostgresBytea:
      ReadPostgresBytea(reader, detected.At);
      break;
    case THexTextForm::PostgresDecode:
      ReadPostgresDecode(reader, detected.At);
      break;
    case THexTextForm::Base64:
      ReadBase64Text(reader, detected.At);
      break;
    case THexTextForm::DataUri:
      if (!ReadDataUri(reader, detected.At)) {
        return Refused(text, THexTextRefusal::NotBase64Uri, nullptr);
      }
      break;
    case THexTextForm::None:
      break;
  }
  reader.Finish(detected.Form);
  return result;
}

std::string StrictHexRun(std::string_view bytes) {
  std::string text;
  try {
    text.resize(2 * bytes.size());
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
  constexpr size_t kStep = size_t{1} << 30;  // the codec counts in 32 bits
  for (size_t done = 0; done < bytes.size(); done += kStep) {
    const size_t n = std::min(kStep, bytes.size() - done);
    BytesToHexText(reinterpret_cast<const uint8_t*>(bytes.data()) + done, text.data() + 2 * done,
                   static_cast<int32_t>(n));
  }
  return text;
}

}  // namespace qv
