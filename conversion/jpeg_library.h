// The libjpeg glue of the JPEG picture: error manager, in-memory source and
// destination, progress monitor, and the owners of the library objects on
// which the decode and the encode (jpeg_codec.h) are built.
//
// A fatal library error leaves the library by longjmp back to the frame that
// made the call (a small C-style frame in CallGuarded); the library object is
// then destroyed and only after that is EJPEG raised. A failure raised by a
// progress handler or a stream is caught inside the callback, carried across
// the library in the same way and raised again.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t
#include <exception>
#include <memory>

#include <jpeglib.h>

namespace qv {

class TGraphic;
class TStream;

namespace jpeg {

// What libjpeg may take for its own buffers (for example the whole-image
// coefficient buffer of a progressive file, two bytes per sample) beside
// `other_bytes` of the same picture: the rest of the picture budget. A file that
// needs more fails with "JPEG error #49" instead of exhausting the machine.
long LibraryMemoryLimit(int64_t other_bytes = 0);

// Scans a decode reads at most. Encoders write about ten; each scan may cost a
// pass over the whole coefficient buffer, so a few hundred bytes of empty scans
// could otherwise keep the decoder busy for minutes. More fails with
// "JPEG error #<JERR_BAD_PROGRESSION>".
inline constexpr int kMaxScans = 256;

struct TErrorManager {
  jpeg_error_mgr pub;  // first: libjpeg sees only this part
  std::jmp_buf jump;
  std::exception_ptr* raised;  // a failure caught in a callback, raised again after the jump
};

struct TProgressRecord {
  jpeg_progress_mgr pub;  // first
  TGraphic* owner;        // notices go to this picture; none: no notices
  int32_t last_percent;
  uint32_t last_tick;
  int32_t last_scanline;
  bool stop_at_data_end;  // see TDecoder::StopAtDataEnd
};

// The data ran out while whole rows of blocks were still to come: the entropy
// decoder met the end-of-image marker (the file's own, or the one inserted
// after the last byte), and every block from there on is fill.
bool DataEndedEarly(const jpeg_decompress_struct& d);

// Raised out of a decode that was asked to stop where its data ends early.
struct TDataEndedEarly {};

// Calls `step` inside a frame that libjpeg may leave by longjmp; false when it
// did. `step` may call libjpeg, but no object with a destructor may be alive
// in it while it does, since the jump would skip the destructor.
template <class Step>
bool CallGuarded(TErrorManager& err, Step& step) {
  if (setjmp(err.jump) != 0) return false;
  step();
  return true;
}

// Owner of a libjpeg object (jpeg_decompress_struct or jpeg_compress_struct)
// with its error manager and progress record; destroyed on every way out.
template <class LibraryStruct>
class TLibraryObject {
 public:
  TLibraryObject(const TLibraryObject&) = delete;
  TLibraryObject& operator=(const TLibraryObject&) = delete;

  LibraryStruct& Info() { return context_->cinfo; }

  // Runs a step of libjpeg calls (see CallGuarded). A fatal library error
  // destroys the object and raises EJPEG "JPEG error #<code>" (EOutOfMemory
  // for the library's own out-of-memory error); a failure from a progress
  // handler or a stream destroys it and is raised unchanged.
  template <class Step>
  void Run(Step&& step) {
    if (!CallGuarded(context_->err, step)) Fail();
  }

 protected:
  // Makes the library object, capped at LibraryMemoryLimit(); with `monitored`,
  // a progress monitor whose notices go to `owner` (when given).
  TLibraryObject(TGraphic* owner, bool monitored);
  ~TLibraryObject();

 private:
  struct TContext {
    TErrorManager err;
    TProgressRecord progress;
    LibraryStruct cinfo;
  };

  [[noreturn]] void Fail();
  void Destroy() noexcept;

  std::unique_ptr<TContext> context_;
  std::exception_ptr raised_;
  bool alive_ = false;
};

// A decompressor reading a byte block from its first byte (4096-byte fills, an
// end-of-image marker inserted when the data runs out), with the memory and
// scan limits above.
class TDecoder : public TLibraryObject<jpeg_decompress_struct> {
 public:
  // With an `owner`, progress notices go to that picture. The block must
  // outlive the decoder and is never written.
  TDecoder(const uint8_t* bytes, size_t size, TGraphic* owner);

  // From now on the decode stops with TDataEndedEarly as soon as
  // DataEndedEarly holds, for a caller that wants no pixels: nothing after
  // that point can fail, and a claimed size of 30000 x 30000 pixels over a few
  // kilobytes would otherwise cost minutes of fill.
  void StopAtDataEnd();
};

// A compressor writing at a stream's position in 4096-byte pieces (failures
// of the stream pass on unchanged), with the memory limit above.
class TEncoder : public TLibraryObject<jpeg_compress_struct> {
 public:
  // With an `owner`, progress notices go to that picture. `out` must outlive
  // the encoder.
  TEncoder(TStream& out, TGraphic* owner);
};

// The millisecond clock of the progress monitor (TickCount32 unless replaced;
// tests replace it to get notices without a slow decode). null restores it.
using TProgressClock = uint32_t (*)();
void SetProgressClock(TProgressClock clock);

// Raises what a failed libjpeg step left: the carried failure, else the library's error code.
[[noreturn]] void RaiseJPEGError(int code, std::exception_ptr raised);

}  // namespace jpeg
}  // namespace qv
