#include "tools/decode_warnings.h"

#include <jerror.h>

#include "conversion/jpeg_codec.h"

namespace qv {

namespace {

void CountWarning(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  auto* warnings = static_cast<TDecodeWarnings*>(cinfo->client_data);
  ++warnings->Count;
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
      warnings->NoEndMarker = true;
      break;
    case JWRN_HIT_MARKER:
      // After the inserted end marker: the decoder wanted data that is not there.
      if (warnings->NoEndMarker) warnings->CutShort = true;
      break;
    default:
      break;
  }
}

}  // namespace

TDecodeWarnings CountDecodeWarnings(const uint8_t* bytes, size_t size) {
  TDecodeWarnings warnings;
  jpeg::TDecoder decoder(bytes, size, nullptr);
  jpeg_decompress_struct& info = decoder.Info();
  info.client_data = &warnings;
  info.err->emit_message = CountWarning;
  decoder.Run([&info] {
    jpeg_read_header(&info, TRUE);
    info.do_block_smoothing = TRUE;
    jpeg_start_decompress(&info);
    const JDIMENSION row_size = info.output_width * static_cast<JDIMENSION>(info.output_components);
    JSAMPARRAY row =
        (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, row_size, 1);
    while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, row, 1);
    jpeg_finish_decompress(&info);
  });
  return warnings;
}

}  // namespace qv
