#include "tools/recognition_report.h"

#include <cstdint>

#include "base/exceptions.h"
#include "base/format.h"
#include "tools/commands.h"

namespace qv {

namespace {

// Issues listed one a line; the rest are counted.
constexpr size_t kIssuesShown = 5;

std::string CharacterText(char32_t c) {
  if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
  return Format("U+%04X", static_cast<unsigned>(c));
}

std::string Place(const THexTextPlace& place) {
  return Format("line %lld, column %lld", static_cast<long long>(place.Line),
                static_cast<long long>(place.Column));
}

}  // namespace

std::string FormName(THexTextForm form) {
  switch (form) {
    case THexTextForm::None:
      return "no known form";
    case THexTextForm::Hex:
      return "hex digits";
    case THexTextForm::HexList:
      return "a 0x list";
    case THexTextForm::CArray:
      return "a C array";
    case THexTextForm::EscapedHex:
      return "\\x escapes";
    case THexTextForm::XxdDump:
      return "an xxd dump";
    case THexTextForm::HexdumpCanonical:
      return "a hexdump -C dump";
    case THexTextForm::OdBytes:
      return "an od byte dump";
    case THexTextForm::WordDump:
      return "a dump of 16-bit words (od -x, hexdump)";
    case THexTextForm::SqlBlob:
      return "an SQL X'...' literal";
    case THexTextForm::SqlServerBinary:
      return "an SQL Server 0x... literal";
    case THexTextForm::PostgresBytea:
      return "a PostgreSQL bytea literal";
    case THexTextForm::PostgresDecode:
      return "a PostgreSQL decode(...)";
    case THexTextForm::Base64:
      return "base64";
    case THexTextForm::DataUri:
      return "a data: URI";
  }
  return {};
}

std::string DescribeIssueForCli(const THexTextIssue& issue) {
  const std::string at = Place(issue.Place) + ": ";
  const std::string what = CharacterText(issue.Place.Character);
  const auto count = static_cast<long long>(issue.Count);
  switch (issue.Kind) {
    case THexTextIssueKind::StrayCharacter:
      if (issue.Count > 1) return at + Format("%lld characters from ", count) + what + " skipped";
      return at + what + " skipped";
    case THexTextIssueKind::LoneDigit:
      return at + what + " has no partner, skipped";
    case THexTextIssueKind::CutGroup:
      return at + "a group cut short, skipped";
    case THexTextIssueKind::ValueTooLarge:
      return at + "a value over 255, skipped";
    case THexTextIssueKind::RepeatUnknown:
      return at + "a '*' repeat of unknown length: bytes are missing";
    case THexTextIssueKind::AddressGap:
      return at + Format("the addresses skip %lld bytes: bytes are missing", count);
    case THexTextIssueKind::AddressBack:
      return at + Format("the address goes back %lld bytes", count);
    case THexTextIssueKind::LengthMismatch:
      return at + Format("the stated length %lld differs from the bytes read", count);
    case THexTextIssueKind::OtherData:
      return at + "more data follows, not read";
  }
  return at;
}

std::string RefusalText(const TRecognition& r) {
  switch (r.Refusal) {
    case THexTextRefusal::None:
      return {};
    case THexTextRefusal::Empty:
      return "no hex text: only blanks and line breaks";
    case THexTextRefusal::Unrecognised:
      return "not a hex text in any known form: " + Place(r.RefusedAt) + ": " +
             CharacterText(r.RefusedAt.Character);
    case THexTextRefusal::NotBase64Uri:
      return "a data: URI whose data is not base64";
    case THexTextRefusal::TooLarge:
      return kOutOfMemoryText;
    case THexTextRefusal::Cancelled:
      return "cancelled";
  }
  return {};
}

bool ReportRecognition(const std::string& subject, const TRecognition& r) {
  std::string line =
      "read as " + FormName(r.Form) +
      Format(": %lld bytes, %lld characters removed", static_cast<long long>(r.Bytes.size()),
             static_cast<long long>(r.Removed));
  if (r.Swapped) line += ", 16-bit words swapped back to file order";
  ReportError(subject, line);
  for (size_t i = 0; i < r.Issues.size() && i < kIssuesShown; ++i)
    ReportError(subject, "warning: " + DescribeIssueForCli(r.Issues[i]));
  if (r.IssueCount > static_cast<int64_t>(kIssuesShown))
    ReportError(subject, Format("warning: %lld more places like these",
                                static_cast<long long>(r.IssueCount - kIssuesShown)));
  if (r.Lossy) ReportError(subject, "warning: bytes are missing; the result is incomplete");
  return !r.Lossy;
}

}  // namespace qv
