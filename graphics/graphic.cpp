#include "graphics/graphic.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "base/streams.h"

namespace qv {

namespace {

// A write-only file stream for WriteToFile; the file is closed on every way out.
class TFileWriteStream : public TStream {
 public:
  explicit TFileWriteStream(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (file_ == nullptr) {
      const int error = errno;
      throw EFOpenError(Format("Cannot create file \"%s\". %s", FullPathName(path).c_str(),
                               SystemErrorText(error).c_str()));
    }
  }
  ~TFileWriteStream() override { std::fclose(file_); }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    return count <= 0
               ? 0
               : static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    if (std::fseek(file_, offset, whence) != 0) return -1;
    return std::ftell(file_);
  }

 private:
  std::FILE* file_;
};

}  // namespace

bool TGraphic::StoresFormData(TGraphic* ancestor) {
  if (ancestor != nullptr) return !SameAs(ancestor);
  return !IsEmpty();
}

void TGraphic::NotifyChanged(TPersistent*) {
  modified_ = true;
  if (OnChange) OnChange(this);
}

bool TGraphic::SameAs(TGraphic* other) {
  if (other == this) return true;
  const bool empty = IsEmpty();
  const bool other_empty = other == nullptr || other->IsEmpty();
  if (empty && other_empty) return true;
  if (empty || other_empty) return false;
  if (&GraphicClass() != &other->GraphicClass()) return false;
  TMemoryStream mine, theirs;
  WriteFormData(mine);
  other->WriteFormData(theirs);
  return mine.Size() == theirs.Size() &&
         (mine.Size() == 0 ||
          std::memcmp(mine.Memory(), theirs.Memory(), static_cast<size_t>(mine.Size())) == 0);
}

TPaletteHandle TGraphic::PaletteHandle() {
  return nullptr;
}

bool TGraphic::Transparent() const {
  return transparent_;
}

void TGraphic::ReadFormData(TStream& stream) {
  ReadFromStream(stream);
}

void TGraphic::SetPaletteHandle(TPaletteHandle) {}

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  NotifyChanged(this);
}

void TGraphic::WriteFormData(TStream& stream) {
  WriteToStream(stream);
}

void TGraphic::ReadFromFile(const std::string& path) {
  TFileStream file(path);  // raises the EFOpenError text
  ReadFromStream(file);
}

void TGraphic::WriteToFile(const std::string& path) {
  TFileWriteStream file(path);
  WriteToStream(file);
}

void TGraphic::SetDimensions(int32_t width, int32_t height) {
  SetWidth(width);
  SetHeight(height);
}

void TGraphic::NotifyProgress(TPersistent* sender, TProgressStage stage, int percent_done,
                              bool redraw_now, const TRect& r, const std::string& msg) {
  if (OnProgress) OnProgress(sender, stage, percent_done, redraw_now, r, msg);
}

}  // namespace qv
