#include "tools/decode_warnings.h"

#include <jerror.h>

#include "conversion/jpeg_codec.h"
#include "conversion/jpeg_image.h"
#include "graphics/bitmap.h"

namespace qv {

namespace {

void CountWarning(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  auto* warnings = static_cast<TDecodeWarnings*>(cinfo->client_data);
  // What the decoder says of the fill (a lost restart marker in every
  // interval, say) is no news about the file.
  if (warnings->CutShort) return;
  ++warnings->Count;
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
      warnings->NoEndMarker = true;
      break;
    case JWRN_HIT_MARKER:
      // At the end of the bytes (the inserted end marker) or at the file's own
      // end marker: the decoder wanted data that is not there.
      if (warnings->NoEndMarker ||
          reinterpret_cast<j_decompress_ptr>(cinfo)->unread_marker == JPEG_EOI) {
        warnings->CutShort = true;
      }
      break;
    case JWRN_MUST_RESYNC:
      // The end marker where the next restart interval should begin: the
      // data ended on an interval's edge, in any coding.
      if (reinterpret_cast<j_decompress_ptr>(cinfo)->unread_marker == JPEG_EOI) {
        warnings->CutShort = true;
      }
      break;
    default:
      break;
  }
}

}  // namespace

TDecodeWarnings CountDecodeWarnings(const TJPEGImage& picture) {
  TDecodeWarnings warnings;
  const TJPEGData& data = picture.SharedData();
  if (!data.HasBytes()) return warnings;
  jpeg::TDecodeWatch watch;
  watch.Warning = CountWarning;
  watch.Client = &warnings;
  watch.StopAtDataEnd = true;
  jpeg::TBitmapDecoder decoder(data.BytesData(), static_cast<size_t>(data.BytesSize()), nullptr,
                               picture.DecodeSettings(1), &watch);
  TBitmap bitmap;
  try {
    decoder.DecodeInto(bitmap, nullptr);
  } catch (const jpeg::TDataEndedEarly&) {
    // The rest is fill.
  }
  return warnings;
}

}  // namespace qv
