#include "tools/commands.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <new>
#include <set>
#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "base/streams.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "tools/decode_warnings.h"
#include "tools/hex_report.h"
#include "tools/output_file.h"
#include "tools/picture_loading.h"

namespace qv {

namespace {

constexpr const char* kStandardInput = "standard input";

// Hex text longer than this cannot be restored (its length is a 32-bit count).
constexpr int64_t kMaxTextLength = std::numeric_limits<int32_t>::max();

void AppendRead(std::string& text, int64_t known, const auto& read) {
  if (known > kMaxTextLength) RaiseOutOfMemory();
  if (known > 0) {
    text.resize(static_cast<size_t>(known));
    text.resize(static_cast<size_t>(read(text.data(), known)));
  }
  // Whatever else comes (a pipe, a growing file) in pieces.
  constexpr int64_t kPiece = int64_t{1} << 20;
  for (;;) {
    const size_t at = text.size();
    if (static_cast<int64_t>(at) > kMaxTextLength) RaiseOutOfMemory();
    text.resize(at + kPiece);
    const int64_t n = read(text.data() + at, kPiece);
    text.resize(at + static_cast<size_t>(n > 0 ? n : 0));
    if (n <= 0) break;
  }
}

// The whole text of a file ("-": standard input), read as the text box holds it.
std::string ReadWholeText(const std::string& path) {
  std::string text;
  try {
    if (path == "-") {
      AppendRead(text, 0, [](char* buffer, int64_t count) {
        return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), stdin));
      });
      if (std::ferror(stdin)) throw EReadError(kStreamReadErrorText);
    } else {
      TFileStream file(path);
      AppendRead(text, file.Size(),
                 [&file](char* buffer, int64_t count) { return file.Read(buffer, count); });
    }
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  }
  return text;
}

std::string OutputFor(const TCommandLine& line, const std::string& input) {
  if (!line.Output.empty()) return line.Output;
  if (!line.Directory.empty())
    return (std::filesystem::path(line.Directory) / std::filesystem::path(input).filename())
               .string() +
           ".hex";
  if (line.Inputs.size() == 1) return "-";
  return input + ".hex";
}

// Starts a file's report, a blank line apart from the one before.
void BeginReport(const std::string& path, const char* kind) {
  static bool first = true;
  if (!first) std::printf("\n");
  first = false;
  std::printf("%s: %s\n", path.c_str(), kind);
}

void PrintField(const char* name, const std::string& value) {
  std::printf("  %-12s %s\n", name, value.c_str());
}

// The facts of a loaded JPEG picture and a full decode. False when the picture
// does not decode, or decodes only because missing data was filled in.
bool ReportJPEGPicture(TJPEGImage& picture) {
  const TJPEGData& data = picture.SharedData();
  PrintField("size", Format("%lld bytes", static_cast<long long>(data.BytesSize())));
  PrintField("width", Format("%d", picture.Width()));
  PrintField("height", Format("%d", picture.Height()));
  PrintField("progressive", picture.Progressive() ? "yes (more than one scan)" : "no");
  try {
    picture.DecodedBitmap();
  } catch (...) {
    PrintField("decodes", "no: " + ErrorText(std::current_exception()));
    return false;
  }
  TDecodeWarnings warnings;
  try {
    warnings = CountDecodeWarnings(data.BytesData(), static_cast<size_t>(data.BytesSize()));
  } catch (...) {
    // The picture's own decode is the verdict; this one only looks for warnings.
  }
  if (warnings.EndsEarly) {
    PrintField("decodes",
               "damaged: the data ends before the picture is complete, and the rest "
               "is filled in");
    return false;
  }
  if (warnings.Count > 0) {
    PrintField("decodes", Format("yes, past %d corrupt-data warning%s", warnings.Count,
                                 warnings.Count == 1 ? "" : "s"));
  } else {
    PrintField("decodes", "yes");
  }
  return true;
}

bool CheckPictureFile(const std::string& path) {
  TJPEGImage picture;
  try {
    LoadJPEGPictureFile(path, picture);
  } catch (const EFOpenError& error) {
    ReportError(path, error.Message());
    return false;
  } catch (...) {
    BeginReport(path, "picture");
    PrintField("loads", "no: " + ErrorText(std::current_exception()));
    return false;
  }
  BeginReport(path, "JPEG picture");
  return ReportJPEGPicture(picture);
}

bool CheckHexFile(const std::string& path) {
  std::string text;
  try {
    text = ReadWholeText(path);
  } catch (...) {
    ReportError(path == "-" ? kStandardInput : path, ErrorText(std::current_exception()));
    return false;
  }
  BeginReport(path == "-" ? kStandardInput : path, "hex text");
  const THexStop stop = FindHexStop(text);
  PrintField("length", Format("%lld character%s%s", static_cast<long long>(stop.Length),
                              stop.Length == 1 ? "" : "s",
                              stop.Length % 2 != 0 ? " (odd: the last one is ignored)" : ""));
  PrintField("pairs", Format("%lld of %lld decode", static_cast<long long>(stop.PairsDecoded),
                             static_cast<long long>(stop.PairsWanted)));
  bool sound = !stop.Stopped;
  if (stop.Stopped) {
    PrintField("stops at",
               Format("offset %lld (line %lld, column %lld): %s \"%s\"",
                      static_cast<long long>(stop.Offset), static_cast<long long>(stop.Line),
                      static_cast<long long>(stop.Column), stop.Reason.c_str(), stop.Run.c_str()));
    PrintField("near", "\"" + stop.Context + "\"");
    PrintField("", std::string(stop.Caret + 1, ' ') + "^");
    const int64_t lost = stop.PairsWanted - stop.PairsDecoded;
    PrintField("", Format("the restored picture gets %lld zero byte%s from there on",
                          static_cast<long long>(lost), lost == 1 ? "" : "s"));
  }
  TJPEGImage picture;
  try {
    HexToJPEG(text, picture);
  } catch (...) {
    PrintField("restores", "no: " + ErrorText(std::current_exception()));
    return false;
  }
  text = std::string();
  PrintField("restores", "a JPEG picture");
  return ReportJPEGPicture(picture) && sound;
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
  if (!line.Directory.empty() && !std::filesystem::is_directory(line.Directory)) {
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
      std::string text;
      {
        TJPEGImage picture;
        LoadJPEGPictureFile(line.Inputs[i], picture);
        JPEGToHex(picture, text);
      }
      TOutputFile output(outputs[i]);
      output.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
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
    TJPEGImage picture;
    {
      const std::string text = ReadWholeText(input);
      HexToJPEG(text, picture);
      // Loaded, but perhaps not with the bytes the text meant: say where it went wrong.
      const THexStop stop = FindHexStop(text);
      if (stop.Stopped) {
        ReportError(
            subject,
            Format("warning: hex digits stop at offset %lld (line %lld, column %lld), "
                   "%s \"%s\"; the %lld byte%s from there on are zero (see '%s check')",
                   static_cast<long long>(stop.Offset), static_cast<long long>(stop.Line),
                   static_cast<long long>(stop.Column), stop.Reason.c_str(), stop.Run.c_str(),
                   static_cast<long long>(stop.PairsWanted - stop.PairsDecoded),
                   stop.PairsWanted - stop.PairsDecoded == 1 ? "" : "s", kProgramName));
      }
    }
    TOutputFile output(line.Output);
    picture.WriteToStream(output);
    output.Commit();
  } catch (...) {
    ReportError(subject, ErrorText(std::current_exception()));
    return kExitFailed;
  }
  return kExitDone;
}

int RunCheck(const TCommandLine& line) {
  int status = kExitDone;
  for (const std::string& input : line.Inputs) {
    const bool sound = IsPictureFileName(input) ? CheckPictureFile(input) : CheckHexFile(input);
    if (!sound) status = kExitFailed;
  }
  std::fflush(stdout);
  return status;
}

}  // namespace qv
