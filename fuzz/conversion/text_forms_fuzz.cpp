// The recogniser on any text: no crash, no read outside the text, a report
// that adds up; the strict stop within the text; and the input taken as
// bytes, written in every form, reads back to itself.
#include <cstdlib>
#include <string>
#include <string_view>

#include "conversion/text_forms/hex_text_recogniser.h"
#include "conversion/text_forms/hex_text_report.h"
#include "conversion/text_forms/strict_hex_stop.h"
#include "conversion/text_forms/text_form_writer.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // A dump's repeat may claim any length: keep what it may make small.
  TRecogniseOptions options;
  options.MaxBytes = int64_t{16} << 20;
  const TRecognition read = RecogniseHexText(text, options);
  if (read.Recognised() != (read.Refusal == THexTextRefusal::None)) std::abort();
  if (read.Removed < 0 || read.Removed > read.Characters) std::abort();
  if (read.Unplaced < 0 || read.Unplaced > read.Removed) std::abort();
  if (read.IssueCount < static_cast<int64_t>(read.Issues.size())) std::abort();
  if (read.Issues.size() > kMaxHexTextIssues) std::abort();
  for (const THexTextIssue& issue : read.Issues) {
    if (issue.Place.Offset < 0 || issue.Place.Offset > static_cast<int64_t>(size)) std::abort();
    if (issue.Place.Line < 1 || issue.Place.Column < 1) std::abort();
  }
  if (static_cast<int64_t>(read.Bytes.size()) > options.MaxBytes) std::abort();
  DescribeRecognition(read);

  const TStrictHexStop stop = FindStrictHexStop(text);
  if (stop.Bytes > stop.Length / 2) std::abort();
  if (stop.Stopped && (stop.Offset < 2 * stop.Bytes || stop.Offset >= stop.Length)) std::abort();

  // The input as bytes, through every form and back.
  if (size > 4096) return 0;
  TTextFormOptions named;
  named.FileName = "fuzz.jpg";
  for (const TTextForm form : kAllTextForms) {
    const std::string written = WriteTextForm(form, text, named);
    if (static_cast<int64_t>(written.size()) != TextFormLength(form, size, named)) std::abort();
    if (written.empty()) continue;
    const TRecognition back = RecogniseHexText(written);
    // Base64 made mostly of hex letters ("AAAA" of zero bytes) reads as hex.
    const bool base64 = form == TTextForm::Base64 || form == TTextForm::Base64Lines;
    if (base64 && back.Form == THexTextForm::Hex) continue;
    if (back.Bytes != text || back.IssueCount != 0) std::abort();
  }
  return 0;
}
