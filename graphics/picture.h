// The picture container of a picture box: holds at most one picture, loads a
// picture file by choosing the picture class from the file's extension, and
// copies pictures in and out. A load or copy that fails leaves the container
// exactly as it was. Used on the UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/graphic.h"
#include "graphics/persistent.h"

namespace qv {

class TPicture : public TPersistent {
 public:
  static constexpr const char* kClassName = "TPicture";

  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  const char* ClassName() const noexcept override { return kClassName; }

  // The held picture, owned by the container; null when none is held. An
  // empty picture (a bitmap from an empty file) still counts as held.
  TGraphic* HeldGraphic() const { return graphic_.get(); }

  // Reads the named file into a new picture of the class registered in
  // PictureFormats() for its extension, then holds it. An extension without a
  // class fails with EInvalidGraphic "Unknown picture file extension (.%s)"
  // (the extension as written); open and read failures pass on unchanged.
  void OpenPictureFile(const std::string& file_name);

  // null: empties the container. A TPicture: copies its picture (an empty one
  // empties this). A TGraphic: holds a copy made by a fresh picture of the
  // source's own class (JPEG pictures share their bytes). Anything else is asked
  // to AssignInto this container (EConvertError "Cannot assign a %s to a %s").
  void AssignFrom(TPersistent* source) override;
  // Asks `target` to copy the held picture when the picture is of the target's
  // class or derived from it; otherwise, or when empty, EConvertError "Cannot
  // assign a TPicture to a <target class>". Neither side changes on failure.
  void AssignInto(TPersistent& target) override;

  // The held picture's size in pixels; 0 when none is held.
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Fired, with the container as sender, after the container takes a new
  // picture or none and whenever the held picture reports a change.
  TNotifyEvent OnChange;
  // Progress reports of the held picture and of a picture being loaded.
  TProgressEvent OnProgress;

  // The extension OpenPictureFile looks up: what follows the last '.' of the
  // name when no '\\', '/' or ':' comes after it; otherwise empty. Case kept.
  static std::string FileExtension(const std::string& file_name);

 private:
  void ForwardProgress(TGraphic& picture);
  void Hold(std::unique_ptr<TGraphic> picture);
  void CopyIn(TGraphic* source);
  void Changed();

  std::unique_ptr<TGraphic> graphic_;
};

// True when the name's extension has a picture class (so the window would
// open it as a picture); anything else is taken for hex text.
bool IsPictureFileName(const std::string& path);

}  // namespace qv
