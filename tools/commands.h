// The commands of quorvane-hex. Each returns the exit status: 0 when
// every file was done, 1 when a file failed (the others are still done).
#pragma once

#include <exception>
#include <string>

#include "tools/command_line.h"

namespace qv {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr const char* kProgramName = "quorvane-hex";

int RunToHex(const TCommandLine& line);
int RunToJPEG(const TCommandLine& line);
int RunCheck(const TCommandLine& line);
int RunNormalize(const TCommandLine& line);

// "quorvane-hex: SUBJECT: TEXT" on standard error (no subject: no part).
void ReportError(const std::string& subject, const std::string& text);

}  // namespace qv
