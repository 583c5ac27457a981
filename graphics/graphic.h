// The abstract picture: the operations through which the picture container,
// the picture boxes, the JPEG conversions and the worker use a picture without
// knowing its class, with the default behaviour of each. Virtual operations are
// declared in slot order. One picture object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/palette.h"
#include "graphics/persistent.h"
#include "graphics/rect.h"

namespace qv {

class TCanvas;
class TGraphic;
class TStream;

enum class TProgressStage : uint8_t { psStarting, psRunning, psEnding };
using enum TProgressStage;

// Progress of a long operation on a picture: `sender` is the picture,
// `percent_done` 0..100, and with `redraw_now` the area `r` (picture pixels)
// can be drawn already.
using TProgressEvent =
    std::function<void(TPersistent* sender, TProgressStage stage, int percent_done, bool redraw_now,
                       const TRect& r, const std::string& msg)>;

// Clipboard exchange: the format number and the data in that format.
using TClipboardFormat = uint16_t;
inline constexpr TClipboardFormat kClipboardDIB = 8;  // device-independent bitmap
using TClipboardData = std::vector<uint8_t>;

// A picture class as a value: its name, a way to make an empty picture of it
// (the format registry makes pictures from a class alone), and a test whether a
// picture is of this class or of a class derived from it.
struct TGraphicClass {
  const char* Name;
  std::unique_ptr<TGraphic> (*Create)();
  bool (*Includes)(const TGraphic& picture);
};

// The class record of picture class T (one object per class, so records compare by address).
template <class T>
const TGraphicClass& GraphicClassOf() {
  static const TGraphicClass record{
      T::kClassName, [] { return std::unique_ptr<TGraphic>(new T()); },
      [](const TGraphic& picture) { return dynamic_cast<const T*>(&picture) != nullptr; }};
  return record;
}

// Inside a picture class's declaration: its name and class record.
#define QV_GRAPHIC_CLASS(Name)                                        \
 public:                                                              \
  static constexpr const char* kClassName = #Name;                    \
  const char* ClassName() const noexcept override {                   \
    return kClassName;                                                \
  }                                                                   \
  const ::qv::TGraphicClass& GraphicClass() const noexcept override { \
    return ::qv::GraphicClassOf<Name>();                              \
  }                                                                   \
                                                                      \
 private:

class TGraphic : public TPersistent {
 public:
  ~TGraphic() override = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  virtual const TGraphicClass& GraphicClass() const noexcept = 0;
  // A new, empty picture of this picture's class.
  std::unique_ptr<TGraphic> NewOfSameClass() const { return GraphicClass().Create(); }

  // Slot 0 AssignInto and slot 2 AssignFrom come from TPersistent.

  // Slot 1, the form property "Data": whether it is stored, which it is when
  // the picture is not empty or, given an ancestor's picture, when it differs from it.
  virtual bool StoresFormData(TGraphic* ancestor);
  // Slot 3, the platform's interface query, has no counterpart here.

  // Slot 4: sets the modified flag and fires OnChange with this picture.
  virtual void NotifyChanged(TPersistent* sender);
  // Slot 5: draws the picture into `rect` of `canvas`.
  virtual void DrawInto(TCanvas& canvas, const TRect& rect) = 0;
  // Slot 6: both empty: equal; one empty: not; otherwise the same class and the
  // same form-data bytes.
  virtual bool SameAs(TGraphic* other);
  virtual bool IsEmpty() const = 0;                       // slot 7
  virtual int32_t Height() const = 0;                     // slot 8, pixels
  virtual TPaletteHandle PaletteHandle();                 // slot 9; base: none
  virtual bool Transparent() const;                       // slot 10
  virtual int32_t Width() const = 0;                      // slot 11, pixels
  virtual void ReadFormData(TStream& stream);             // slot 12; base: ReadFromStream
  virtual void SetHeight(int32_t height) = 0;             // slot 13
  virtual void SetPaletteHandle(TPaletteHandle palette);  // slot 14; base: nothing
  // Slot 15: stores a different value and notifies the change; the same value does nothing.
  virtual void SetTransparent(bool transparent);
  virtual void SetWidth(int32_t width) = 0;     // slot 16
  virtual void WriteFormData(TStream& stream);  // slot 17; base: WriteToStream
  // Slot 18 is the constructor: no owner events, flags false, no content.

  // Slot 19: reads the whole named file with ReadFromStream. A file that cannot
  // be opened fails with EFOpenError "Cannot open file "<full path>". <system text>".
  virtual void ReadFromFile(const std::string& path);
  // Slot 20: creates or replaces the file and writes the picture with WriteToStream.
  virtual void WriteToFile(const std::string& path);
  // Slot 21: reads the picture from the stream's position to its end.
  virtual void ReadFromStream(TStream& stream) = 0;
  // Slot 22: writes the picture at the stream's position.
  virtual void WriteToStream(TStream& stream) = 0;
  virtual void ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                                 TPaletteHandle palette) = 0;  // slot 23
  virtual void WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                                TPaletteHandle& palette) = 0;  // slot 24
  // Slot 25: SetWidth, then SetHeight.
  virtual void SetDimensions(int32_t width, int32_t height);

  // Fires OnProgress with the arguments when it is set.
  virtual void NotifyProgress(TPersistent* sender, TProgressStage stage, int percent_done,
                              bool redraw_now, const TRect& r, const std::string& msg);

  // Set by the picture's owner (a picture container).
  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

  bool Modified() const { return modified_; }
  // The palette changed and has to be realised again by whoever draws the picture.
  bool PaletteDirty() const { return palette_dirty_; }
  void SetPaletteDirty(bool dirty) { palette_dirty_ = dirty; }

 protected:
  TGraphic() = default;

 private:
  bool modified_ = false;
  bool transparent_ = false;
  bool palette_dirty_ = false;
};

}  // namespace qv
