// The recogniser's report in the command line's words: the form a text was
// found in, what was removed, and each doubtful place, on standard error.
#pragma once

#include <string>

#include "conversion/text_forms/hex_text_recogniser.h"

namespace qv {

// "xxd dump", "C array", ...
std::string FormName(THexTextForm form);
// "line 812, column 3: 'g' skipped"
std::string DescribeIssueForCli(const THexTextIssue& issue);
// Why a text was refused: "not a hex text in any known form: line 2, column 1: 'H'".
std::string RefusalText(const TRecognition& recognition);
// "read as an xxd dump: 1,624 bytes, 815 characters removed" and the first issues,
// one line each, as notes under `subject`; false when the bytes are known to be
// incomplete (Lossy), which the caller reports as a failure.
bool ReportRecognition(const std::string& subject, const TRecognition& recognition);

}  // namespace qv
