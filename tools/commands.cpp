// quorvane-hex to-hex and to-jpeg, and how the commands report failures.
#include "tools/commands.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/output_file.h"
#include "base/platform.h"
#include "base/streams.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "tools/hex_report.h"
#include "tools/input_text.h"
#include "tools/picture_loading.h"

namespace qv {

namespace {

std::string OutputFor(const TCommandLine& line, const std::string& input) {
  if (!line.Output.empty()) return line.Output;
  if (!line.Directory.empty())
    return Utf8FromPath(PathFromUtf8(line.Directory) / PathFromUtf8(input).filename()) + ".hex";
  if (line.Inputs.size() == 1) return "-";
  return input + ".hex";
}

// A warning naming where and why the text stops decoding, read from the text
// around the stop.
void ReportStop(const std::string& subject, TStream& text, int64_t length, int64_t pairs_decoded) {
  const int64_t offset = HexStopWindowOffset(pairs_decoded);
  std::string window(static_cast<size_t>(std::min(kHexStopWindow, length - offset)), '\0');
  text.SetPosition(offset);
  window.resize(static_cast<size_t>(text.Read(window.data(), static_cast<int64_t>(window.size()))));
  const THexStop stop = DescribeHexStop(window, offset, length, pairs_decoded);
  const int64_t zeros = stop.PairsWanted - stop.PairsDecoded;
  ReportError(subject,
              Format("warning: hex digits stop at offset %lld (line %lld, column %lld), "
                     "%s \"%s\"; the %lld byte%s from there on are zero (see '%s check')",
                     static_cast<long long>(stop.Offset), static_cast<long long>(stop.Line),
                     static_cast<long long>(stop.Column), stop.Reason.c_str(), stop.Run.c_str(),
                     static_cast<long long>(zeros), zeros == 1 ? "" : "s", kProgramName));
}

}  // namespace

std::string ErrorText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::bad_alloc&) {
    return kOutOfMemoryText;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void ReportError(const std::string& subject, const std::string& text) {
  std::fflush(stdout);
  if (subject.empty()) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
  } else {
    std::fprintf(stderr, "%s: %s: %s\n", kProgramName, subject.c_str(), text.c_str());
  }
}

int RunToHex(const TCommandLine& line) {
  if (!line.Directory.empty() && !std::filesystem::is_directory(PathFromUtf8(line.Directory))) {
    ReportError(line.Directory, "No such directory");
    return kExitUsage;
  }
  std::vector<std::string> outputs;
  std::set<std::string> seen;
  for (const std::string& input : line.Inputs) {
    outputs.push_back(OutputFor(line, input));
    if (outputs.back() != "-" && !seen.insert(FullPathName(outputs.back())).second) {
      ReportError("", "more than one FILE would be written to " + outputs.back());
      return kExitUsage;
    }
  }
  int status = kExitDone;
  for (size_t i = 0; i < line.Inputs.size(); ++i) {
    try {
      TJPEGImage picture;
      LoadJPEGPictureFile(line.Inputs[i], picture);
      // Straight into the file, without a second copy of the bytes or the text.
      TOutputFile output(outputs[i]);
      JPEGToHex(picture, output);
      output.Commit();
    } catch (...) {
      ReportError(line.Inputs[i], ErrorText(std::current_exception()));
      status = kExitFailed;
    }
  }
  return status;
}

int RunToJPEG(const TCommandLine& line) {
  const std::string input = line.Inputs.empty() ? "-" : line.Inputs[0];
  const std::string subject = input == "-" ? kStandardInput : input;
  try {
    // A file is decoded as it is read; standard input and pipes, whose length
    // is known only at their end, are read whole first.
    std::unique_ptr<TFileStream> file;
    TMemoryStream memory;
    TStream* text = &memory;
    int64_t length = -1;
    if (input == "-") {
      ReadStandardInput(memory);
    } else {
      file = std::make_unique<TFileStream>(input);
      length = file->Size();
      if (length >= 0) {
        text = file.get();
      } else {
        ReadAllOf(*file, 0, memory);
      }
    }
    if (length < 0) length = memory.Size();

    TJPEGImage picture;
    THexTextStop stop;
    try {
      HexToJPEG(*text, length, picture, stop);
    } catch (...) {
      if (stop.Stopped) ReportStop(subject, *text, length, stop.PairsDecoded);
      throw;
    }
    // Loaded, but perhaps not with the bytes the text meant: say where it went wrong.
    if (stop.Stopped) ReportStop(subject, *text, length, stop.PairsDecoded);
    file.reset();
    memory.Clear();

    TOutputFile output(line.Output);
    picture.WriteToStream(output);
    output.Commit();
  } catch (...) {
    ReportError(subject, ErrorText(std::current_exception()));
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace qv
