// quorvane-hex: the command-line companion of the window, on the same codec,
// JPEG picture and conversions.
#include <QtGlobal>
#include <cstdio>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/platform.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/picture_loading.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0"
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = qv::ProgramArguments(argc, argv);
  qv::SetBinaryStandardInput();
  const qv::TCommandLine line = qv::ParseCommandLine(arguments);
  try {
    switch (line.Command) {
      case qv::TCommand::Help:
        std::fputs(qv::kUsageText, stdout);
        return qv::kExitDone;
      case qv::TCommand::Version:
        std::printf("%s %s\n", qv::kProgramName, QUORVANE_VERSION);
        return qv::kExitDone;
      default:
        break;
    }
    if (!line.Error.empty()) {
      qv::ReportError("", line.Error);
      std::fprintf(stderr, "Try '%s --help' for more information.\n", qv::kProgramName);
      return qv::kExitUsage;
    }
    // The image readers' own complaints would muddle the program's messages;
    // a picture that cannot be read says so through its error.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    qv::RegisterPictureFormats();
    switch (line.Command) {
      case qv::TCommand::ToHex:
        return qv::RunToHex(line);
      case qv::TCommand::ToJPEG:
        return qv::RunToJPEG(line);
      case qv::TCommand::Check:
        return qv::RunCheck(line);
      case qv::TCommand::Normalize:
        return qv::RunNormalize(line);
      default:
        return qv::kExitUsage;
    }
  } catch (...) {
    qv::ReportError("", qv::ErrorMessage(std::current_exception()));
    return qv::kExitFailed;
  }
}
