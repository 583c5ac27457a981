// quorvane-hex check: a report on each file, a picture or hex text, saying
// whether it converts and what stands in the way.
#include "tools/commands.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "conversion/jpeg_data.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "conversion/text_forms/hex_text_recogniser.h"
#include "graphics/picture.h"
#include "graphics/picture_formats.h"
#include "tools/decode_warnings.h"
#include "tools/hex_report.h"
#include "tools/input_text.h"
#include "tools/picture_loading.h"
#include "tools/recognition_report.h"

namespace qv {

namespace {

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

// The facts of a loaded JPEG picture and its decode. False when the picture
// does not decode, or decodes only because missing data was filled in.
bool ReportJPEGPicture(TJPEGImage& picture) {
  const TJPEGData& data = picture.SharedData();
  PrintField("size", Format("%lld bytes", static_cast<long long>(data.BytesSize())));
  PrintField("width", Format("%d", picture.Width()));
  PrintField("height", Format("%d", picture.Height()));
  PrintField("progressive", picture.Progressive() ? "yes (more than one scan)" : "no");
  // The verdict: the picture's own decode, which also counts what it passes over.
  TDecodeWarnings warnings;
  try {
    warnings = CountDecodeWarnings(picture);
  } catch (...) {
    PrintField("decodes", "no: " + ErrorMessage(std::current_exception()));
    return false;
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
    PrintField("loads", "no: " + ErrorMessage(std::current_exception()));
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
    PrintField("to-hex", "no: " + ErrorMessage(std::current_exception()));
  }
  return false;
}

bool CheckHexFile(const std::string& path) {
  TMemoryStream text;
  try {
    ReadWholeText(path, text);
  } catch (...) {
    ReportError(path == "-" ? kStandardInput : path, ErrorMessage(std::current_exception()));
    return false;
  }
  BeginReport(path == "-" ? kStandardInput : path, "hex text");
  const THexStop stop = FindHexStop(TextOf(text));
  PrintField("length", Format("%lld character%s%s", static_cast<long long>(stop.Length),
                              stop.Length == 1 ? "" : "s",
                              stop.Length % 2 != 0 ? " (odd: the last one is ignored)" : ""));
  const TRecognition recognition = RecogniseHexText(TextOf(text));
  if (recognition.Recognised()) {
    std::string form = FormName(recognition.Form) +
                       Format(": %lld bytes", static_cast<long long>(recognition.Bytes.size()));
    if (recognition.Removed > 0)
      form += Format(", %lld characters not data", static_cast<long long>(recognition.Removed));
    if (recognition.Lossy) form += ", bytes missing";
    PrintField("form", form);
    for (size_t i = 0; i < recognition.Issues.size() && i < 3; ++i)
      PrintField("", DescribeIssueForCli(recognition.Issues[i]));
  } else {
    PrintField("form", RefusalText(recognition));
  }
  PrintField("pairs", Format("%lld of %lld decode", static_cast<long long>(stop.PairsDecoded),
                             static_cast<long long>(stop.PairsWanted)));
  bool sound = !stop.Stopped;
  if (stop.Stopped && recognition.Recognised() &&
      !(recognition.Form == THexTextForm::Hex && recognition.Removed == 0)) {
    PrintField("", "'quorvane-hex normalize' or 'to-jpeg --lenient' reads it in full");
  }
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
    HexToJPEG(TextOf(text), picture);
  } catch (...) {
    PrintField("restores", "no: " + ErrorMessage(std::current_exception()));
    return false;
  }
  text.Clear();
  PrintField("restores", "a JPEG picture");
  return ReportJPEGPicture(picture) && sound;
}

}  // namespace

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
