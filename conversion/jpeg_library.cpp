#include "conversion/jpeg_library.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <string>

#include <jerror.h>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "base/streams.h"
#include "graphics/graphic.h"
#include "graphics/picture_budget.h"

namespace qv::jpeg {

namespace {

constexpr size_t kBufferSize = 4096;
constexpr JOCTET kEndOfImage[2] = {0xFF, 0xD9};

// --- error manager -----------------------------------------------------------

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

// Warnings and trace messages are dropped and not counted.
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* buffer) {
  buffer[0] = '\0';
}
void ResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

void InstallErrorManager(TErrorManager& err, std::exception_ptr* raised) {
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  err.pub.format_message = FormatMessage;
  err.pub.reset_error_mgr = ResetErrorManager;
  err.raised = raised;
}

// Catches a failure of `call` (which may raise) so that it can be carried
// across libjpeg's C frames; then leaves the library through the error jump.
template <class Call>
void CallFromLibrary(j_common_ptr cinfo, Call&& call) {
  auto* err = reinterpret_cast<TErrorManager*>(cinfo->err);
  bool failed = false;
  try {
    call();
  } catch (...) {
    *err->raised = std::current_exception();
    failed = true;
  }
  if (failed) std::longjmp(err->jump, 1);
}

// --- progress monitor --------------------------------------------------------

std::atomic<TProgressClock> g_progress_clock{nullptr};

void ProgressMonitor(j_common_ptr cinfo) {
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    ERREXIT4(cinfo, JERR_BAD_PROGRESSION, 0, 0, 0, 0);
  }
  auto* progress = reinterpret_cast<TProgressRecord*>(cinfo->progress);
  if (progress != nullptr && progress->stop_at_data_end && cinfo->is_decompressor &&
      DataEndedEarly(*reinterpret_cast<j_decompress_ptr>(cinfo))) {
    CallFromLibrary(cinfo, [] { throw TDataEndedEarly(); });
  }
  if (progress == nullptr || progress->owner == nullptr) return;
  const TProgressClock clock = g_progress_clock.load();
  const uint32_t now = clock != nullptr ? clock() : TickCount32();
  // Unsigned difference: a wrapped counter counts as elapsed.
  if (now - progress->last_tick < 500) return;
  const uint32_t previous_tick = progress->last_tick;
  progress->last_tick = now;
  if (previous_tick == 0) return;  // the first call of this run only starts the clock
  TRect r;
  int32_t scanline = 0;
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    scanline = static_cast<int32_t>(d->output_scanline);
    r = TRect{0, progress->last_scanline, static_cast<int32_t>(d->output_width), scanline};
    if (r.Bottom < r.Top) r.Bottom = static_cast<int32_t>(d->output_height);  // a new pass began
  }
  const jpeg_progress_mgr& pub = progress->pub;
  if (pub.pass_limit <= 0 || pub.total_passes <= 0) return;
  const int percent = static_cast<int>(
      (static_cast<double>(pub.pass_counter) / static_cast<double>(pub.pass_limit) +
       pub.completed_passes) *
      100.0 / pub.total_passes);
  if (percent == progress->last_percent) return;
  progress->last_percent = percent;
  if (cinfo->is_decompressor) progress->last_scanline = scanline;
  TGraphic* owner = progress->owner;
  CallFromLibrary(cinfo, [&] {
    owner->NotifyProgress(owner, psRunning, percent, r.Height() >= 4, r, std::string());
  });
}

void InstallProgress(TProgressRecord& progress, TGraphic* owner) {
  progress.pub.progress_monitor = ProgressMonitor;
  progress.owner = owner;
}

// --- source over a byte block --------------------------------------------------

struct TStreamSource {
  jpeg_source_mgr pub;  // first
  const JOCTET* block;
  size_t size;
  size_t cursor;
  bool first_fill;
};

void InitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<TStreamSource*>(cinfo->src)->first_fill = true;
}

// Hands the library the next piece of the block in place (the block is never
// written, so several readers may share it); past the end an inserted
// end-of-image marker ends the data.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<TStreamSource*>(cinfo->src);
  const size_t n = std::min(kBufferSize, src->size - src->cursor);
  if (n == 0) {
    if (src->first_fill) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = kEndOfImage;
    src->pub.bytes_in_buffer = sizeof kEndOfImage;
  } else {
    src->pub.next_input_byte = src->block + src->cursor;
    src->pub.bytes_in_buffer = n;
    src->cursor += n;
  }
  src->first_fill = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* src = reinterpret_cast<TStreamSource*>(cinfo->src);
  size_t n = static_cast<size_t>(count);
  while (n > src->pub.bytes_in_buffer) {
    n -= src->pub.bytes_in_buffer;
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += n;
  src->pub.bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

void AttachSource(j_decompress_ptr cinfo, const uint8_t* bytes, size_t size) {
  if (cinfo->src == nullptr) {
    cinfo->src = static_cast<jpeg_source_mgr*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(TStreamSource)));
  }
  auto* src = reinterpret_cast<TStreamSource*>(cinfo->src);
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillInputBuffer;
  src->pub.skip_input_data = SkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  src->pub.next_input_byte = nullptr;
  src->pub.bytes_in_buffer = 0;
  src->block = bytes;
  src->size = size;
  src->cursor = 0;
  src->first_fill = true;
}

// --- destination into a stream -------------------------------------------------

struct TStreamDestination {
  jpeg_destination_mgr pub;  // first
  TStream* stream;
  JOCTET* buffer;
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TStreamDestination*>(cinfo->dest);
  dest->buffer = static_cast<JOCTET*>(
      (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kBufferSize));
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TStreamDestination*>(cinfo->dest);
  CallFromLibrary(reinterpret_cast<j_common_ptr>(cinfo),
                  [&] { dest->stream->WriteBuffer(dest->buffer, kBufferSize); });
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TStreamDestination*>(cinfo->dest);
  const size_t n = kBufferSize - dest->pub.free_in_buffer;
  if (n > 0) {
    CallFromLibrary(reinterpret_cast<j_common_ptr>(cinfo),
                    [&] { dest->stream->WriteBuffer(dest->buffer, static_cast<int64_t>(n)); });
  }
}

}  // namespace

bool DataEndedEarly(const jpeg_decompress_struct& d) {
  // Between the library's calls, an end marker left unread mid-image was met
  // by the entropy decoder; the markers between scans are read and cleared.
  return d.unread_marker == JPEG_EOI && d.input_iMCU_row < d.total_iMCU_rows;
}

[[noreturn]] void RaiseJPEGError(int code, std::exception_ptr raised) {
  if (raised) std::rethrow_exception(raised);
  if (code == JERR_OUT_OF_MEMORY) RaiseOutOfMemory();
  throw EJPEG(Format("JPEG error #%d", code));
}

long LibraryMemoryLimit(int64_t other_bytes) {
  // Never 0, which libjpeg reads as "no limit".
  const int64_t rest = std::max<int64_t>(PictureBudget() - std::max<int64_t>(other_bytes, 0), 1);
  return static_cast<long>(std::min<int64_t>(rest, std::numeric_limits<long>::max()));
}

// --- library objects -----------------------------------------------------------

namespace {

void Create(jpeg_decompress_struct& cinfo) {
  jpeg_CreateDecompress(&cinfo, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
}
void Create(jpeg_compress_struct& cinfo) {
  jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
}

}  // namespace

template <class LibraryStruct>
TLibraryObject<LibraryStruct>::TLibraryObject(TGraphic* owner, bool monitored)
    : context_(std::make_unique<TContext>()) {  // value-initialised: all zero
  TContext& c = *context_;
  InstallErrorManager(c.err, &raised_);
  c.cinfo.err = &c.err.pub;
  auto create = [&] { Create(c.cinfo); };
  alive_ = true;  // destroying a half-made object is safe
  Run(create);
  c.cinfo.mem->max_memory_to_use = LibraryMemoryLimit();
  if (monitored) {
    InstallProgress(c.progress, owner);
    c.cinfo.progress = &c.progress.pub;
  }
}

template <class LibraryStruct>
TLibraryObject<LibraryStruct>::~TLibraryObject() {
  Destroy();
}

template <class LibraryStruct>
void TLibraryObject<LibraryStruct>::Destroy() noexcept {
  if (!alive_) return;
  alive_ = false;
  jpeg_destroy(reinterpret_cast<j_common_ptr>(&context_->cinfo));
}

template <class LibraryStruct>
void TLibraryObject<LibraryStruct>::Fail() {
  const int code = context_->err.pub.msg_code;
  Destroy();
  RaiseJPEGError(code, std::exchange(raised_, nullptr));
}

template class TLibraryObject<jpeg_decompress_struct>;
template class TLibraryObject<jpeg_compress_struct>;

// --- decoder and encoder ------------------------------------------------------

// Always monitored: the monitor also enforces the scan limit.
TDecoder::TDecoder(const uint8_t* bytes, size_t size, TGraphic* owner)
    : TLibraryObject(owner, true) {
  jpeg_decompress_struct& d = Info();
  Run([&] { AttachSource(&d, bytes, size); });
}

void TDecoder::StopAtDataEnd() {
  reinterpret_cast<TProgressRecord*>(Info().progress)->stop_at_data_end = true;
}

// Monitored only for an owner: a compressor reads no scans to limit.
TEncoder::TEncoder(TStream& out, TGraphic* owner) : TLibraryObject(owner, owner != nullptr) {
  jpeg_compress_struct& c = Info();
  Run([&] {
    auto* dest = static_cast<TStreamDestination*>((*c.mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(&c), JPOOL_PERMANENT, sizeof(TStreamDestination)));
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    dest->stream = &out;
    c.dest = &dest->pub;
  });
}

void SetProgressClock(TProgressClock clock) {
  g_progress_clock.store(clock);
}

}  // namespace qv::jpeg
