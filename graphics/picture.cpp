#include "graphics/picture.h"

#include "base/exceptions.h"
#include "base/format.h"
#include "graphics/picture_formats.h"

namespace qv {

namespace {

constexpr const char* kUnknownExtensionText = "Unknown picture file extension (.%s)";

}  // namespace

TPicture::~TPicture() {
  // The picture goes with us; it must not call back into a container being destroyed.
  if (graphic_) {
    graphic_->OnChange = nullptr;
    graphic_->OnProgress = nullptr;
  }
}

std::string TPicture::FileExtension(const std::string& file_name) {
  const size_t last = file_name.find_last_of(".\\/:");
  if (last == std::string::npos || file_name[last] != '.') return std::string();
  return file_name.substr(last + 1);
}

void TPicture::OpenPictureFile(const std::string& file_name) {
  const std::string extension = FileExtension(file_name);
  const TGraphicClass* picture_class = PictureFormats().FindByExtension(extension);
  if (picture_class == nullptr) {
    throw EInvalidGraphic(Format(kUnknownExtensionText, extension.c_str()));
  }
  std::unique_ptr<TGraphic> picture = picture_class->Create();
  ForwardProgress(*picture);
  picture->ReadFromFile(file_name);  // on failure the fresh picture goes, ours stays
  Hold(std::move(picture));
}

void TPicture::AssignFrom(TPersistent* source) {
  if (source == nullptr) {
    CopyIn(nullptr);
  } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
    if (picture != this) CopyIn(picture->HeldGraphic());
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    CopyIn(graphic);
  } else {
    source->AssignInto(*this);
  }
}

void TPicture::AssignInto(TPersistent& target) {
  auto* graphic = dynamic_cast<TGraphic*>(&target);
  if (graphic_ && graphic != nullptr && graphic->GraphicClass().Includes(*graphic_)) {
    graphic->AssignFrom(graphic_.get());
    return;
  }
  throw EConvertError(Format(kCannotAssignText, kClassName, target.ClassName()));
}

void TPicture::ForwardProgress(TGraphic& picture) {
  picture.OnProgress = [this](TPersistent* sender, TProgressStage stage, int percent_done,
                              bool redraw_now, const TRect& r, const std::string& msg) {
    if (OnProgress) OnProgress(sender, stage, percent_done, redraw_now, r, msg);
  };
}

void TPicture::CopyIn(TGraphic* source) {
  std::unique_ptr<TGraphic> copy;
  if (source != nullptr) {
    copy = source->NewOfSameClass();
    copy->AssignFrom(source);  // on failure the copy goes, ours stays
    ForwardProgress(*copy);
  }
  Hold(std::move(copy));
}

void TPicture::Hold(std::unique_ptr<TGraphic> picture) {
  if (picture) picture->OnChange = [this](TPersistent*) { Changed(); };
  std::unique_ptr<TGraphic> old = std::move(graphic_);
  graphic_ = std::move(picture);
  old.reset();
  Changed();
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

bool IsPictureFileName(const std::string& path) {
  return PictureFormats().FindByExtension(TPicture::FileExtension(path)) != nullptr;
}

}  // namespace qv
