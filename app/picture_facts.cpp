#include "app/picture_facts.h"

#include <QFileInfo>
#include <exception>

#include "conversion/jpeg_codec.h"
#include "conversion/jpeg_data.h"
#include "conversion/jpeg_image.h"
#include "conversion/text_forms/hex_text_report.h"
#include "graphics/graphic.h"
#include "graphics/picture.h"

namespace qv {

std::string SamplingName(int components, const uint8_t* h, const uint8_t* v) {
  if (components <= 0) return {};
  if (components == 3 && h[1] == 1 && v[1] == 1 && h[2] == 1 && v[2] == 1) {
    if (h[0] == 1 && v[0] == 1) return "4:4:4";
    if (h[0] == 2 && v[0] == 1) return "4:2:2";
    if (h[0] == 2 && v[0] == 2) return "4:2:0";
    if (h[0] == 1 && v[0] == 2) return "4:4:0";
    if (h[0] == 4 && v[0] == 1) return "4:1:1";
  }
  std::string name;
  for (int i = 0; i < components && i < 4; ++i) {
    if (i > 0) name += ", ";
    name += std::to_string(h[i]) + "×" + std::to_string(v[i]);
  }
  return name;
}

namespace {

const char* ColourSpaceName(J_COLOR_SPACE space) {
  switch (space) {
    case JCS_GRAYSCALE:
      return "灰度";
    case JCS_YCbCr:
      return "YCbCr";
    case JCS_RGB:
      return "RGB";
    case JCS_CMYK:
      return "CMYK";
    case JCS_YCCK:
      return "YCCK";
    default:
      return "未知";
  }
}

}  // namespace

QString PictureToolTip(TPicture& picture, const std::string& file_name) {
  TGraphic* graphic = picture.HeldGraphic();
  if (graphic == nullptr) return {};
  std::string text;
  if (!file_name.empty()) {
    text += "文件：" + QFileInfo(QString::fromStdString(file_name)).fileName().toStdString() + "\n";
  }
  auto* jpeg = dynamic_cast<TJPEGImage*>(graphic);
  if (jpeg == nullptr) {
    text += "尺寸：" + GroupThousands(graphic->Width()) + " × " +
            GroupThousands(graphic->Height()) + "\n格式：" + graphic->ClassName();
    return QString::fromStdString(text);
  }
  const TJPEGData& data = jpeg->SharedData();
  text += "大小：" + GroupThousands(data.BytesSize()) + " 字节\n";
  text += "尺寸：" + GroupThousands(jpeg->Width()) + " × " + GroupThousands(jpeg->Height());
  if (data.BytesSize() <= 0) return QString::fromStdString(text);
  try {
    // The header alone: quick, and the same facts whatever the box shows.
    const jpeg::THeaderFacts facts =
        jpeg::ReadHeader(data.BytesData(), static_cast<size_t>(data.BytesSize()));
    text += facts.Progressive ? "\n渐进式 JPEG" : "\n基线 JPEG";
    text += "\n颜色：" + std::string(ColourSpaceName(facts.ColorSpace)) + "，" +
            std::to_string(facts.Components) + " 个分量";
    const std::string sampling = SamplingName(facts.Components, facts.HSampling, facts.VSampling);
    if (facts.Components > 1 && !sampling.empty()) text += "，采样 " + sampling;
  } catch (...) {
    text += "\n无法读取 JPEG 文件头";
  }
  return QString::fromStdString(text);
}

}  // namespace qv
