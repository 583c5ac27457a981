#include "conversion/jpeg_codec.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/exceptions.h"
#include "base/streams.h"
#include "graphics/bitmap.h"

namespace qv::jpeg {

int64_t DecodeBufferBytes(jpeg_decompress_struct& d) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  // Each term stays far below 2^63: sides of at most 65500 pixels.
  int64_t bytes = 0;
  auto add = [&bytes](int64_t more) { bytes = more > kMax - bytes ? kMax : bytes + more; };
  if (jpeg_has_multiple_scans(&d)) {
    for (int i = 0; i < d.num_components; ++i) {
      const jpeg_component_info& c = d.comp_info[i];
      const int64_t h = c.h_samp_factor;
      const int64_t v = c.v_samp_factor;
      const int64_t columns = (static_cast<int64_t>(c.width_in_blocks) + h - 1) / h * h;
      const int64_t rows = (static_cast<int64_t>(c.height_in_blocks) + v - 1) / v * v;
      add(columns * rows * DCTSIZE2 * static_cast<int64_t>(sizeof(JCOEF)));
    }
  }
  const int64_t row = static_cast<int64_t>(d.output_width) * d.out_color_components;
  if (d.quantize_colors && d.two_pass_quantize && d.out_color_components == 3 &&
      d.colormap == nullptr) {
    add(row * d.output_height);
  }
  // Row buffers, tables and the like: a few dozen rows of samples and a margin.
  add(64 * (row + static_cast<int64_t>(d.image_width) * d.num_components) + (int64_t{4} << 20));
  return bytes;
}

void AdmitDecode(jpeg_decompress_struct& d, int bits_per_pixel) {
  const int64_t library_bytes = DecodeBufferBytes(d);
  CheckPictureSize(d.output_width, d.output_height, bits_per_pixel);
  // libjpeg's whole-image buffers, allocated when the decode starts, must
  // fit beside the bitmap: what they may take is what the bitmap leaves.
  const int64_t bitmap_bytes = PictureBytes(d.output_width, d.output_height, bits_per_pixel);
  if (library_bytes > PictureBudget() - bitmap_bytes) RaiseOutOfMemory();
  d.mem->max_memory_to_use = LibraryMemoryLimit(bitmap_bytes);
}

THeaderFacts ReadHeader(const uint8_t* bytes, size_t size) {
  TDecoder decoder(bytes, size, nullptr);
  jpeg_decompress_struct& d = decoder.Info();
  THeaderFacts facts;
  decoder.Run([&] {
    jpeg_read_header(&d, TRUE);
    facts.Progressive = jpeg_has_multiple_scans(&d);
  });
  facts.Width = static_cast<int32_t>(d.image_width);
  facts.Height = static_cast<int32_t>(d.image_height);
  facts.Components = d.num_components;
  facts.ColorSpace = d.jpeg_color_space;
  for (int i = 0; i < d.num_components && i < 4; ++i) {
    facts.HSampling[i] = static_cast<uint8_t>(d.comp_info[i].h_samp_factor);
    facts.VSampling[i] = static_cast<uint8_t>(d.comp_info[i].v_samp_factor);
  }
  return facts;
}

// --- decoding into a bitmap ------------------------------------------------------

namespace {

constexpr int kQuantizedColours = 236;

TPaletteHandle PaletteFromColormap(const jpeg_decompress_struct& d) {
  std::vector<QRgb> entries(static_cast<size_t>(d.actual_number_of_colors));
  const bool gray = d.out_color_components == 1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (gray) {
      const int level = d.colormap[0][i];
      entries[i] = qRgb(level, level, level);
    } else {
      // The decoder works in blue, green, red order.
      entries[i] = qRgb(d.colormap[2][i], d.colormap[1][i], d.colormap[0][i]);
    }
  }
  return MakePalette(std::move(entries));
}

// Turns a row of `components` samples per pixel into blue, green, red. Four
// components are CMYK (Adobe applications store them inverted); two are grey
// with alpha; other counts keep their first three samples.
void ConvertRow(const JSAMPLE* in, uint8_t* out, JDIMENSION width, int components, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, in += components, out += 3) {
    if (components == 4) {
      int c = in[0], m = in[1], y = in[2], k = in[3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
      }
      out[0] = static_cast<uint8_t>((y * k + 127) / 255);
      out[1] = static_cast<uint8_t>((m * k + 127) / 255);
      out[2] = static_cast<uint8_t>((c * k + 127) / 255);
    } else if (components < 3) {
      out[0] = out[1] = out[2] = in[0];
    } else {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
}

// Copies row `from` into rows `to`..height-1 when the `count` rows from
// `from` on are alike, which shows that they come from fill alone. False,
// copying nothing, when they are not.
bool RepeatFillRows(TBitmap& bitmap, int32_t from, int32_t count, int32_t to) {
  const size_t bytes = static_cast<size_t>(bitmap.BytesPerLine());
  const uint8_t* fill = bitmap.ScanLine(from);
  for (int32_t y = from + 1; y < from + count; ++y) {
    if (std::memcmp(bitmap.ScanLine(y), fill, bytes) != 0) return false;
  }
  for (int32_t y = to; y < bitmap.Height(); ++y) std::memcpy(bitmap.ScanLine(y), fill, bytes);
  return true;
}

}  // namespace

TBitmapDecoder::TBitmapDecoder(const uint8_t* bytes, size_t size, TGraphic* owner,
                               const TDecodeSettings& settings, const TDecodeWatch* watch)
    : decoder_(bytes, size, owner) {
  jpeg_decompress_struct& d = decoder_.Info();
  if (watch != nullptr) {
    if (watch->Warning != nullptr) d.err->emit_message = watch->Warning;
    d.client_data = watch->Client;
    if (watch->StopAtDataEnd) decoder_.StopAtDataEnd();
  }
  decoder_.Run([&] { jpeg_read_header(&d, TRUE); });
  d.scale_num = 1;
  d.scale_denom = 1u << (settings.ScaleShift & 3);
  d.do_block_smoothing = settings.BlockSmoothing ? TRUE : FALSE;
  if (settings.FastDct) d.dct_method = JDCT_IFAST;
  if (settings.Gray) d.out_color_space = JCS_GRAYSCALE;
  // Three-sample pixels in the bitmap's own blue, green, red order.
  if (d.out_color_space == JCS_RGB) d.out_color_space = JCS_EXT_BGR;
  eight_ =
      d.out_color_space == JCS_GRAYSCALE || (settings.EightBit && d.out_color_space == JCS_EXT_BGR);
  if (eight_) {
    d.quantize_colors = TRUE;
    d.desired_number_of_colors = kQuantizedColours;
  }
  palette_colour_ = eight_ && d.out_color_space == JCS_EXT_BGR;
  eighths_ = settings.Eighths < 1 || settings.Eighths > 8 ? 8 : settings.Eighths;
}

void TBitmapDecoder::UseFixedPalette(const TPalette& palette) {
  jpeg_decompress_struct& d = decoder_.Info();
  const int n = static_cast<int>(std::min<size_t>(palette.Entries.size(), 256));
  decoder_.Run([&] {
    d.colormap = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                        static_cast<JDIMENSION>(std::max(n, 1)), 3);
  });
  for (int i = 0; i < n; ++i) {
    const QRgb entry = palette.Entries[static_cast<size_t>(i)];
    d.colormap[2][i] = static_cast<JSAMPLE>(qRed(entry));
    d.colormap[1][i] = static_cast<JSAMPLE>(qGreen(entry));
    d.colormap[0][i] = static_cast<JSAMPLE>(qBlue(entry));
  }
  d.actual_number_of_colors = n;
  fixed_palette_ = true;
}

void TBitmapDecoder::DecodeInto(TBitmap& bitmap, const std::function<void()>& palette_made) {
  jpeg_decompress_struct& d = decoder_.Info();
  decoder_.Run([&] { jpeg_calc_output_dimensions(&d); });
  AdmitDecode(d, eight_ ? 8 : 24);
  if (eighths_ < 8) {
    d.scale_num = static_cast<unsigned int>(eighths_);
    d.scale_denom = 8;
    decoder_.Run([&] { jpeg_calc_output_dimensions(&d); });
  }
  decoder_.Run([&] { jpeg_start_decompress(&d); });
  bitmap.SetSize(static_cast<int32_t>(d.output_width), static_cast<int32_t>(d.output_height));
  if (d.colormap != nullptr && !fixed_palette_) {
    bitmap.SetPalette(PaletteFromColormap(d));
    if (palette_made) palette_made();
  }

  const int components = d.output_components;
  const bool convert = !eight_ && components != 3;
  const bool inverted = d.saw_Adobe_marker != 0;
  // Once a Huffman decoder runs out of data every block is zero, so the rows
  // that follow are all alike: a header that claims 30000 x 30000 pixels over
  // a few kilobytes would otherwise cost a decode of that size. Quantized
  // output is left alone (its dithering carries from row to row, and a
  // two-pass palette counts every pixel), and so is arithmetic coding, whose
  // decoder goes on making data of its own from zeros.
  const bool may_repeat_fill = !eight_ && !d.arith_code && !jpeg_has_multiple_scans(&d);
  const JDIMENSION rows_per_imcu_row =
      static_cast<JDIMENSION>(d.max_v_samp_factor) * static_cast<JDIMENSION>(d.min_DCT_scaled_size);
  JDIMENSION fill_from = 0;  // first output row made from fill alone; 0: none known yet
  bool repeated = false;
  JSAMPARRAY temp = nullptr;
  decoder_.Run([&] {
    if (convert) {
      temp = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                    d.output_width * static_cast<JDIMENSION>(components), 1);
    }
    while (d.output_scanline < d.output_height) {
      const JDIMENSION y = d.output_scanline;
      if (may_repeat_fill && fill_from == 0 && DataEndedEarly(d)) {
        // Rows of blocks from input_iMCU_row on are fill; an output row also
        // reads the rows of blocks beside its own, so one more is waited for.
        fill_from = (d.input_iMCU_row + 1) * rows_per_imcu_row;
      }
      if (fill_from != 0 && y >= fill_from + rows_per_imcu_row && y < d.output_height) {
        repeated = RepeatFillRows(bitmap, static_cast<int32_t>(fill_from),
                                  static_cast<int32_t>(rows_per_imcu_row), static_cast<int32_t>(y));
        if (repeated) break;
        fill_from = d.output_height;  // not alike after all: decode on
      }
      JSAMPROW row = convert ? temp[0] : bitmap.ScanLine(static_cast<int32_t>(y));
      if (jpeg_read_scanlines(&d, &row, 1) != 1) break;
      if (convert) {
        ConvertRow(temp[0], bitmap.ScanLine(static_cast<int32_t>(y)), d.output_width, components,
                   inverted);
      }
    }
    // After the end of the data nothing is left that could fail; the rows
    // not read would make jpeg_finish_decompress fail.
    if (repeated) {
      jpeg_abort_decompress(&d);
    } else {
      jpeg_finish_decompress(&d);
    }
  });
}

void EncodeBGR(const uint8_t* pixels, int64_t stride, int32_t width, int32_t height, int quality,
               TGraphic* owner, TStream& out) {
  TEncoder encoder(out, owner);
  jpeg_compress_struct& c = encoder.Info();
  encoder.Run([&] {
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * c.next_scanline);
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
  });
}

}  // namespace qv::jpeg
