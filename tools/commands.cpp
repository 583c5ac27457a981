// quorvane-hex to-hex and to-jpeg, and how the commands report failures.
#include "tools/commands.h"

#include <algorithm>
#include <cerrno>
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
#include "conversion/text_forms/hex_text_recogniser.h"
#include "conversion/text_forms/text_form_writer.h"
#include "graphics/picture.h"
#include "tools/hex_report.h"
#include "tools/input_text.h"
#include "tools/picture_loading.h"
#include "tools/recognition_report.h"

namespace qv {

namespace {

// to-hex: FILE.hex (the form's extension with --format) beside FILE or in DIR.
std::string HexOutputFor(const TCommandLine& line, const std::string& input) {
  if (!line.Output.empty()) return line.Output;
  std::string extension = ".hex";
  TTextForm form;
  if (!line.Format.empty() && TextFormByKey(line.Format, form))
    extension = std::string(".") + TextFormInfo(form).Extension;
  if (!line.Directory.empty())
    return Utf8FromPath(PathFromUtf8(line.Directory) / PathFromUtf8(input).filename()) + extension;
  if (line.Inputs.size() == 1) return "-";
  return input + extension;
}

// to-jpeg: OUT, or DIR/NAME.jpg, NAME being the text file's name less a
// .hex or .txt (pic.jpg.hex gives pic.jpg).
std::string JPEGOutputFor(const TCommandLine& line, const std::string& input) {
  if (!line.Output.empty()) return line.Output;
  std::string name =
      input == "-" ? std::string("stdin") : Utf8FromPath(PathFromUtf8(input).filename());
  for (const char* known : {".hex", ".txt", ".HEX", ".TXT"}) {
    const std::string suffix = known;
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      name.resize(name.size() - suffix.size());
      break;
    }
  }
  if (!IsPictureFileName(name)) name += ".jpg";
  return Utf8FromPath(PathFromUtf8(line.Directory) / PathFromUtf8(name));
}

// The output of each input, and the folder of -d made when missing (as
// mkdir -p would); a failure is reported and its exit status returned.
int PlanOutputs(const TCommandLine& line,
                std::string (*output_for)(const TCommandLine&, const std::string&),
                std::vector<std::string>& outputs) {
  std::set<std::string> seen;
  for (const std::string& input : line.Inputs) {
    outputs.push_back(output_for(line, input));
    if (outputs.back() != "-" && !seen.insert(FileNameKey(outputs.back())).second) {
      ReportError("", "more than one FILE would be written to " + outputs.back());
      return kExitUsage;
    }
  }
  if (!line.Directory.empty()) {
    const std::filesystem::path folder = PathFromUtf8(line.Directory);
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
      if (std::filesystem::exists(folder, error)) {
        ReportError(line.Directory, SystemErrorText(ENOTDIR));
        return kExitUsage;
      }
      std::filesystem::create_directories(folder, error);
      if (error || !std::filesystem::is_directory(folder, error)) {
        ReportError(line.Directory,
                    Format("Cannot create folder \"%s\". %s", FullPathName(line.Directory).c_str(),
                           error.message().c_str()));
        return kExitFailed;
      }
    }
  }
  return kExitDone;
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

void ReportError(const std::string& subject, const std::string& text) {
  std::fflush(stdout);
  if (subject.empty()) {
    WriteText(stderr, Format("%s: %s\n", kProgramName, text.c_str()));
  } else {
    WriteText(stderr, Format("%s: %s: %s\n", kProgramName, subject.c_str(), text.c_str()));
  }
}

int RunToHex(const TCommandLine& line) {
  std::vector<std::string> outputs;
  if (const int status = PlanOutputs(line, HexOutputFor, outputs); status != kExitDone)
    return status;
  TTextForm form = TTextForm::HexUpper;
  const bool other_form = !line.Format.empty() && TextFormByKey(line.Format, form);
  int status = kExitDone;
  for (size_t i = 0; i < line.Inputs.size(); ++i) {
    try {
      TJPEGImage picture;
      LoadJPEGPictureFile(line.Inputs[i], picture);
      TOutputFile output(outputs[i]);
      if (other_form) {
        TMemoryStream bytes;
        picture.WriteToStream(bytes);
        TTextFormOptions options;
        // As xxd -i names the array after the path it was given.
        options.FileName = line.Name.empty() ? line.Inputs[i] : line.Name;
        WriteTextFormTo(form,
                        std::string_view(reinterpret_cast<const char*>(bytes.Memory()),
                                         static_cast<size_t>(bytes.Size())),
                        options, [&](std::string_view piece) {
                          output.Write(piece.data(), static_cast<int64_t>(piece.size()));
                          return true;
                        });
      } else {
        // Straight into the file, without a second copy of the bytes or the text.
        JPEGToHex(picture, output);
      }
      output.Commit();
    } catch (...) {
      ReportError(line.Inputs[i], ErrorMessage(std::current_exception()));
      status = kExitFailed;
    }
  }
  return status;
}

namespace {

// One text to one JPEG file, strictly or through the recogniser.
void TextToJPEG(const std::string& input, const std::string& output_path, bool lenient) {
  const std::string subject = input == "-" ? kStandardInput : input;
  TJPEGImage picture;
  if (lenient) {
    TMemoryStream text;
    ReadWholeText(input, text);
    const TRecognition recognition = RecogniseHexText(TextOf(text));
    text.Clear();
    if (!recognition.Recognised()) throw Exception(RefusalText(recognition));
    if (recognition.Form != THexTextForm::Hex || recognition.Removed > 0 ||
        recognition.IssueCount > 0)
      ReportRecognition(subject, recognition);
    TMemoryStream bytes;
    bytes.Write(recognition.Bytes.data(), static_cast<int64_t>(recognition.Bytes.size()));
    bytes.SetPosition(0);
    picture.ReadFromStream(bytes);
  } else {
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

    THexTextStop stop;
    try {
      HexToJPEG(*text, length, picture, stop);
    } catch (...) {
      if (stop.Stopped) ReportStop(subject, *text, length, stop.PairsDecoded);
      throw;
    }
    // Loaded, but perhaps not with the bytes the text meant: say where it went wrong.
    if (stop.Stopped) ReportStop(subject, *text, length, stop.PairsDecoded);
  }
  RefuseEmptyPicture(picture);
  TOutputFile output(output_path);
  picture.WriteToStream(output);
  output.Commit();
}

}  // namespace

int RunToJPEG(const TCommandLine& line) {
  TCommandLine planned = line;
  if (planned.Inputs.empty()) planned.Inputs.push_back("-");
  std::vector<std::string> outputs;
  if (const int status = PlanOutputs(planned, JPEGOutputFor, outputs); status != kExitDone)
    return status;
  int status = kExitDone;
  for (size_t i = 0; i < planned.Inputs.size(); ++i) {
    const std::string& input = planned.Inputs[i];
    try {
      TextToJPEG(input, outputs[i], line.Lenient);
    } catch (...) {
      ReportError(input == "-" ? kStandardInput : input, ErrorMessage(std::current_exception()));
      status = kExitFailed;
    }
  }
  return status;
}

int RunNormalize(const TCommandLine& line) {
  const std::string input = line.Inputs.empty() ? "-" : line.Inputs[0];
  const std::string subject = input == "-" ? kStandardInput : input;
  try {
    TMemoryStream text;
    ReadWholeText(input, text);
    TRecognition recognition = RecogniseHexText(TextOf(text));
    text.Clear();
    if (!recognition.Recognised()) {
      ReportError(subject, RefusalText(recognition));
      return kExitFailed;
    }
    const bool whole = ReportRecognition(subject, recognition);
    const std::string run = StrictHexRun(recognition.Bytes);
    recognition.Bytes = std::string();
    TOutputFile output(line.Output.empty() ? std::string("-") : line.Output);
    output.Write(run.data(), static_cast<int64_t>(run.size()));
    output.Commit();
    return whole ? kExitDone : kExitFailed;
  } catch (...) {
    ReportError(subject, ErrorMessage(std::current_exception()));
    return kExitFailed;
  }
}

}  // namespace qv
