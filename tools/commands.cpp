#include "tools/commands.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "base/streams.h"
#include "conversion/hex_streams.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "graphics/picture.h"
#include "graphics/picture_formats.h"
#include "tools/decode_warnings.h"
#include "tools/hex_report.h"
#include "tools/output_file.h"
#include "tools/picture_loading.h"

namespace qv {

namespace {

constexpr const char* kStandardInput = "standard input";

// Hex text longer than this cannot be restored (its length is a 32-bit count).
constexpr int64_t kMaxTextLength = std::numeric_limits<int32_t>::max();

// Everything `read` gives, appended to `text`: `known` bytes straight into
// the block, then whatever else comes (a pipe, a growing file) in pieces, the
// block doubling so that growing never copies more than it keeps. Text too
// long to restore fails with "Out of memory" before it is read.
template <class ReadFunction>
void ReadAll(int64_t known, const ReadFunction& read, TMemoryStream& text) {
  if (known > kMaxTextLength) RaiseOutOfMemory();
  if (known > 0) {
    text.SetSize(known);
    text.SetSize(read(text.Memory(), known));
  }
  text.SetPosition(text.Size());
  std::vector<uint8_t> piece(int64_t{1} << 20);
  for (;;) {
    const int64_t n = read(piece.data(), static_cast<int64_t>(piece.size()));
    if (n <= 0) break;
    const int64_t end = text.Size() + n;
    if (end > kMaxTextLength) RaiseOutOfMemory();
    if (end > text.Capacity()) text.SetCapacity(std::max(end, 2 * text.Capacity()));
    text.WriteBuffer(piece.data(), n);
  }
  text.SetPosition(0);
}

void ReadStandardInput(TMemoryStream& text) {
  ReadAll(
      0,
      [](uint8_t* buffer, int64_t count) {
        return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), stdin));
      },
      text);
  if (std::ferror(stdin)) throw EReadError(kStreamReadErrorText);
}

void ReadAllOf(TStream& stream, int64_t known, TMemoryStream& text) {
  ReadAll(
      known, [&stream](uint8_t* buffer, int64_t count) { return stream.Read(buffer, count); },
      text);
}

// The whole text of a file ("-": standard input), as the text box would hold it.
void ReadWholeText(const std::string& path, TMemoryStream& text) {
  if (path == "-") {
    ReadStandardInput(text);
  } else {
    TFileStream file(path);
    ReadAllOf(file, file.Size(), text);
  }
}

std::string_view TextOf(TMemoryStream& text) {
  return std::string_view(reinterpret_cast<const char*>(text.Memory()),
                          static_cast<size_t>(text.Size()));
}

std::string OutputFor(const TCommandLine& line, const std::string& input) {
  if (!line.Output.empty()) return line.Output;
  if (!line.Directory.empty())
    return Utf8FromPath(PathFromUtf8(line.Directory) / PathFromUtf8(input).filename()) + ".hex";
  if (line.Inputs.size() == 1) return "-";
  return input + ".hex";
}

// Starts a file's report, a blank line apart from the one before.
void BeginReport(const std::string& path, const std::string& kind) {
  static bool first = true;
  if (!first) WriteText(stdout, "\n");
  first = false;
  WriteText(stdout, path + ": " + kind + "\n");
}

void PrintField(const char* name, const std::string& value) {
  WriteText(stdout, Format("  %-12s %s\n", name, value.c_str()));
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
  const int32_t others =
      warnings.Count - (warnings.NoEndMarker ? 1 : 0) - (warnings.CutShort ? 1 : 0);
  const std::string also =
      others > 0 ? Format(", past %d corrupt-data warning%s", others, others == 1 ? "" : "s") : "";
  if (warnings.CutShort) {
    PrintField("decodes",
               "damaged: the data ends before the picture is complete, and the rest "
               "is filled in" +
                   also);
    return false;
  }
  if (warnings.NoEndMarker) {
    PrintField("decodes",
               "incomplete: the data ends without an end-of-image marker, so the file "
               "may be cut short" +
                   also);
    return false;
  }
  PrintField("decodes", "yes" + also);
  return true;
}

bool CheckPictureFile(const std::string& path) {
  TPicture container;
  try {
    OpenPictureFile(path, container);
  } catch (const EFOpenError& error) {
    ReportError(path, error.Message());
    return false;
  } catch (...) {
    const TGraphicClass* kind = PictureFormats().FindByExtension(TPicture::FileExtension(path));
    BeginReport(path, kind == &GraphicClassOf<TJPEGImage>() ? "JPEG picture"
                                                            : Format("picture (%s)", kind->Name));
    PrintField("loads", "no: " + ErrorText(std::current_exception()));
    return false;
  }
  TGraphic* held = container.HeldGraphic();
  if (auto* jpeg = dynamic_cast<TJPEGImage*>(held)) {
    BeginReport(path, "JPEG picture");
    return ReportJPEGPicture(*jpeg);
  }
  // Loads in the window, but only a JPEG picture converts.
  BeginReport(path, Format("picture (%s)", held->ClassName()));
  PrintField("width", Format("%d", held->Width()));
  PrintField("height", Format("%d", held->Height()));
  try {
    TJPEGImage picture;
    picture.AssignFrom(&container);
  } catch (...) {
    PrintField("to-hex", "no: " + ErrorText(std::current_exception()));
  }
  return false;
}

bool CheckHexFile(const std::string& path) {
  TMemoryStream text;
  try {
    ReadWholeText(path, text);
  } catch (...) {
    ReportError(path == "-" ? kStandardInput : path, ErrorText(std::current_exception()));
    return false;
  }
  BeginReport(path == "-" ? kStandardInput : path, "hex text");
  const THexStop stop = FindHexStop(TextOf(text));
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
    HexToJPEG(std::string(TextOf(text)), picture);
  } catch (...) {
    PrintField("restores", "no: " + ErrorText(std::current_exception()));
    return false;
  }
  text.Clear();
  PrintField("restores", "a JPEG picture");
  return ReportJPEGPicture(picture) && sound;
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
    WriteText(stderr, Format("%s: %s\n", kProgramName, text.c_str()));
  } else {
    WriteText(stderr, Format("%s: %s: %s\n", kProgramName, subject.c_str(), text.c_str()));
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
    if (outputs.back() != "-" && !seen.insert(FileNameKey(outputs.back())).second) {
      ReportError("", "more than one FILE would be written to " + outputs.back());
      return kExitUsage;
    }
  }
  int status = kExitDone;
  for (size_t i = 0; i < line.Inputs.size(); ++i) {
    try {
      TJPEGImage picture;
      LoadJPEGPictureFile(line.Inputs[i], picture);
      // The picture writes itself through the codec straight into the file:
      // the text of JPEGToHex, without a second copy of the bytes or the text.
      TOutputFile output(outputs[i]);
      THexEncodingStream hex(output);
      picture.WriteToStream(hex);
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
    if (length > kMaxTextLength) RaiseOutOfMemory();

    THexDecodingStream bytes(*text, length);
    TJPEGImage picture;
    try {
      picture.ReadFromStream(bytes);
    } catch (...) {
      if (bytes.Stopped()) ReportStop(subject, *text, length, bytes.PairsDecoded());
      throw;
    }
    // Loaded, but perhaps not with the bytes the text meant: say where it went wrong.
    if (bytes.Stopped()) ReportStop(subject, *text, length, bytes.PairsDecoded());
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
