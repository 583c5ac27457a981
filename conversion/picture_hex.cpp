#include "conversion/picture_hex.h"

#include "base/exceptions.h"
#include "conversion/hex_streams.h"
#include "conversion/jpeg_image.h"

namespace qv {

void JPEGToHex(TJPEGImage& picture, std::string& text) {
  // The picture writes its block straight into the text: one allocation.
  std::string result;
  THexEncodingStream writer(result, kMaxHexPictureBytes);
  picture.WriteToStream(writer);
  text.swap(result);
}

void JPEGToHex(TJPEGImage& picture, TStream& out) {
  THexEncodingStream writer(out);
  picture.WriteToStream(writer);
}

void HexToJPEG(std::string_view text, TJPEGImage& picture) {
  THexTextStop stop;
  HexToJPEG(text, picture, stop);
}

void HexToJPEG(std::string_view text, TJPEGImage& picture, THexTextStop& stop) {
  stop = THexTextStop();
  if (static_cast<int64_t>(text.size()) > kMaxHexTextLength) RaiseOutOfMemory();
  // The picture loads straight from the text, decoded into its own block.
  THexDecodingStream bytes(text.data(), static_cast<int64_t>(text.size()));
  try {
    picture.ReadFromStream(bytes);
  } catch (...) {
    stop = {bytes.Stopped(), bytes.PairsDecoded()};
    throw;
  }
  stop = {bytes.Stopped(), bytes.PairsDecoded()};
}

void HexToJPEG(TStream& text, int64_t length, TJPEGImage& picture, THexTextStop& stop) {
  stop = THexTextStop();
  if (length > kMaxHexTextLength) RaiseOutOfMemory();
  THexDecodingStream bytes(text, length);
  try {
    picture.ReadFromStream(bytes);
  } catch (...) {
    stop = {bytes.Stopped(), bytes.PairsDecoded()};
    throw;
  }
  stop = {bytes.Stopped(), bytes.PairsDecoded()};
}

}  // namespace qv
