// The picture container and the format registry: extensions, loading by
// extension, failed loads, copies in and out, and change forwarding.
#include <QTemporaryDir>

#include <cerrno>

#include "base/format.h"
#include "base/platform.h"
#include "graphics/bitmap.h"
#include "graphics/icon.h"
#include "graphics/metafile/metafile.h"
#include "graphics/picture.h"
#include "graphics/picture_formats.h"
#include "graphics/png_picture.h"
#include "pictures_test_support.h"

namespace qv {
namespace {

using testing::Corpus;
using testing::PictureTest;

// A bitmap class of its own, to see that a class's descendants go with it.
class TMarkedBitmap : public TBitmap {
  QV_GRAPHIC_CLASS(TMarkedBitmap)
};

// A picture whose copying always fails.
class TStubbornPicture : public TBitmap {
  QV_GRAPHIC_CLASS(TStubbornPicture)

 public:
  void AssignFrom(TPersistent*) override { throw EOutOfResources("copy refused"); }
};

// Not a picture at all.
class TNotAPicture : public TPersistent {
 public:
  const char* ClassName() const noexcept override { return "TNotAPicture"; }
};

std::string Extensions(const TFileFormatsList& list) {
  std::string all;
  for (const TFileFormat& format : list.Entries()) all += format.FileExtension + " ";
  return all;
}

TEST_F(PictureTest, RegistryStartsWithTheBuiltInFormatsInOrder) {
  TFileFormatsList list;
  EXPECT_EQ(Extensions(list), "wmf emf ico bmp png ");
  const std::vector<const TGraphicClass*> classes = {
      &GraphicClassOf<TMetafile>(), &GraphicClassOf<TMetafile>(), &GraphicClassOf<TIcon>(),
      &GraphicClassOf<TBitmap>(), &GraphicClassOf<TPNGPicture>()};
  for (size_t i = 0; i < classes.size(); ++i) {
    EXPECT_EQ(list.Entries()[i].PictureClass, classes[i]);
    EXPECT_EQ(list.Entries()[i].FormatNameId, 0);
  }
  EXPECT_EQ(list.Entries()[0].FormatName, "Metafiles");
  EXPECT_EQ(list.Entries()[1].FormatName, "Enhanced Metafiles");
  EXPECT_EQ(list.Entries()[2].FormatName, "Icons");
  EXPECT_EQ(list.Entries()[3].FormatName, "Bitmaps");
  EXPECT_EQ(&PictureFormats(), &PictureFormats()) << "one registry per process";
}

TEST_F(PictureTest, LookupIgnoresCaseAndTheLastRegistrationWins) {
  TFileFormatsList list;
  const struct {
    const char* extension;
    const TGraphicClass* expected;
  } cases[] = {
      {"bmp", &GraphicClassOf<TBitmap>()},
      {"BMP", &GraphicClassOf<TBitmap>()},
      {"Ico", &GraphicClassOf<TIcon>()},
      {"EMF", &GraphicClassOf<TMetafile>()},
      {"png", &GraphicClassOf<TPNGPicture>()},
      {"gif", nullptr},
      {"tif", nullptr},
      {"tiff", nullptr},
      {"", nullptr},
      {".bmp", nullptr},
      {"bmp ", nullptr},
  };
  for (const auto& c : cases)
    EXPECT_EQ(list.FindByExtension(c.extension), c.expected) << c.extension;

  list.RegisterPictureFormat("BMP", "Marked", GraphicClassOf<TMarkedBitmap>());
  EXPECT_EQ(list.Entries().back().FileExtension, "bmp") << "stored lower-cased";
  EXPECT_EQ(list.FindByExtension("bmp"), &GraphicClassOf<TMarkedBitmap>());
  list.RegisterPictureFormat("ÄRGER", "Unicode", GraphicClassOf<TIcon>());
  EXPECT_EQ(list.FindByExtension("ärger"), &GraphicClassOf<TIcon>());
}

TEST_F(PictureTest, UnregisteringAClassTakesItsDescendantsAndLeavesOthers) {
  TFileFormatsList list;
  list.RegisterPictureFormat("mbm", "Marked", GraphicClassOf<TMarkedBitmap>());
  list.RegisterPictureFormat("bmp", "Marked", GraphicClassOf<TMarkedBitmap>());
  list.UnregisterPictureClass(GraphicClassOf<TMarkedBitmap>());
  EXPECT_EQ(Extensions(list), "wmf emf ico bmp png ") << "only the descendant's entries go";
  list.RegisterPictureFormat("mbm", "Marked", GraphicClassOf<TMarkedBitmap>());
  list.UnregisterPictureClass(GraphicClassOf<TBitmap>());
  EXPECT_EQ(Extensions(list), "wmf emf ico png ");
  EXPECT_EQ(list.FindByExtension("mbm"), nullptr);
}

TEST_F(PictureTest, DialogFilterComesFromTheSameEntries) {
  TFileFormatsList list;
  EXPECT_EQ(
      list.DialogFilter(&GraphicClassOf<TMetafile>()),
      "All (*.wmf;*.emf)|*.wmf;*.emf|Metafiles (*.wmf)|*.wmf|Enhanced Metafiles (*.emf)|*.emf|");
  EXPECT_NE(list.DialogFilter().find("Bitmaps (*.bmp)|*.bmp|"), std::string::npos);
}

TEST_F(PictureTest, ExtensionIsWhatFollowsTheLastDotOfTheLastPathElement) {
  const struct {
    const char* name;
    const char* extension;
  } cases[] = {
      {"photo.JPG", "JPG"},   {"/tmp/a.b/photo.jpeg", "jpeg"},
      {"my.dir/picture", ""}, {"name.", ""},
      {"x.jpg.bak", "bak"},   {"C:\\my.dir\\picture", ""},
      {"d:picture", ""},      {"a.b:c", ""},
      {".bmp", "bmp"},        {"", ""},
      {"noextension", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TPicture::FileExtension(c.name), c.extension) << c.name;
}

// Loads that fail leave the held picture and report no change.
TEST_F(PictureTest, FailedLoadsKeepThePreviousPicture) {
  QTemporaryDir dir;
  const std::string base = dir.path().toStdString();
  testing::WriteFile(base + "/x.jpg.bak", {1, 2, 3});
  testing::WriteFile(base + "/plain", {1, 2, 3});
  testing::WriteFile(base + "/bad.bmp",
                     {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 99, 0, 0, 0});
  const struct {
    std::string name;
    std::string error;
  } cases[] = {
      {base + "/x.jpg.bak", "EInvalidGraphic: Unknown picture file extension (.bak)"},
      {base + "/Photo.GIF", "EInvalidGraphic: Unknown picture file extension (.GIF)"},
      {base + "/scan.TIFF", "EInvalidGraphic: Unknown picture file extension (.TIFF)"},
      {base + "/plain", "EInvalidGraphic: Unknown picture file extension (.)"},
      {base + "/trailing.", "EInvalidGraphic: Unknown picture file extension (.)"},
      {base + "/missing.bmp", "EFOpenError: Cannot open file \"" +
                                  FullPathName(base + "/missing.bmp") + "\". " +
                                  SystemErrorText(ENOENT)},
      {base + "/bad.bmp", "EInvalidGraphic: Bitmap image is not valid"},
      {Corpus("png/pngsuite-xs1n0g01.png"), "EPNGError: Invalid operation in GDI+ (Code: 4)"},
  };
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TPersistent* sender) {
    EXPECT_EQ(sender, &picture);
    ++changes;
  };
  picture.OpenPictureFile(Corpus("bmp/bmpsuite-g-rgb24.bmp"));
  ASSERT_EQ(changes, 1);
  TGraphic* held = picture.HeldGraphic();
  for (const auto& c : cases) {
    try {
      picture.OpenPictureFile(c.name);
      ADD_FAILURE() << c.name << " loaded";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.ClassName()) + ": " + e.Message(), c.error);
    }
    EXPECT_EQ(picture.HeldGraphic(), held) << c.name;
    EXPECT_EQ(picture.Width(), 127);
  }
  EXPECT_EQ(changes, 1) << "a failed load reports no change";
}

TEST_F(PictureTest, EachExtensionLoadsItsClassAndAnEmptyBitmapCountsAsHeld) {
  TPicture picture;
  EXPECT_EQ(picture.HeldGraphic(), nullptr);
  EXPECT_EQ(picture.Width(), 0);
  const struct {
    const char* file;
    const char* class_name;
    int width, height;
  } cases[] = {
      {"bmp/own-empty.bmp", "TBitmap", 0, 0},
      {"bmp/bmpsuite-g-pal8w125.bmp", "TBitmap", 125, 62},
      {"ico/pil-hopper.ico", "TIcon", 16, 16},
      {"png/pngsuite-s09n3p02.png", "TPNGPicture", 9, 9},
      {"metafile/pil-drawing.wmf", "TMetafile", 110, 110},
      {"metafile/pil-drawing-emf-named.wmf", "TMetafile", 110, 110},
      {"metafile/pil-drawing-wmf-named.emf", "TMetafile", 110, 110},
  };
  for (const auto& c : cases) {
    picture.OpenPictureFile(Corpus(c.file));
    ASSERT_NE(picture.HeldGraphic(), nullptr) << c.file;
    EXPECT_STREQ(picture.HeldGraphic()->ClassName(), c.class_name) << c.file;
    EXPECT_EQ(picture.Width(), c.width) << c.file;
    EXPECT_EQ(picture.Height(), c.height) << c.file;
  }
  picture.OpenPictureFile(Corpus("metafile/pil-drawing-emf-named.wmf"));
  EXPECT_TRUE(dynamic_cast<TMetafile&>(*picture.HeldGraphic()).Enhanced()) << "content decides";
  picture.OpenPictureFile(Corpus("metafile/pil-drawing-wmf-named.emf"));
  EXPECT_FALSE(dynamic_cast<TMetafile&>(*picture.HeldGraphic()).Enhanced());
}

TEST_F(PictureTest, CopiesAreIndependentAndEmptiesFollowTheSource) {
  TPicture source, copy;
  int changes = 0;
  copy.OnChange = [&](TPersistent*) { ++changes; };
  source.OpenPictureFile(Corpus("bmp/bmpsuite-g-pal8.bmp"));
  copy.AssignFrom(&source);
  EXPECT_EQ(changes, 1);
  ASSERT_NE(copy.HeldGraphic(), nullptr);
  EXPECT_NE(copy.HeldGraphic(), source.HeldGraphic()) << "a copy, not the same picture";
  EXPECT_EQ(copy.Width(), 127);
  source.OpenPictureFile(Corpus("ico/pil-hopper.ico"));
  EXPECT_STREQ(copy.HeldGraphic()->ClassName(), "TBitmap")
      << "the copy does not follow later loads";
  EXPECT_EQ(copy.Width(), 127);

  for (const char* file :
       {"ico/pil-python.ico", "png/pngsuite-basn6a08.png", "metafile/gdip-test.emf"}) {
    source.OpenPictureFile(Corpus(file));
    copy.AssignFrom(source.HeldGraphic());
    EXPECT_STREQ(copy.HeldGraphic()->ClassName(), source.HeldGraphic()->ClassName());
    EXPECT_EQ(copy.Width(), source.Width()) << file;
    EXPECT_TRUE(copy.HeldGraphic()->SameAs(source.HeldGraphic())) << file;
  }

  TPicture empty;
  copy.AssignFrom(&empty);
  EXPECT_EQ(copy.HeldGraphic(), nullptr) << "an empty source empties the container";
  copy.AssignFrom(&source);
  copy.AssignFrom(nullptr);
  EXPECT_EQ(copy.HeldGraphic(), nullptr);
  EXPECT_EQ(changes, 7);
}

TEST_F(PictureTest, FailedCopiesLeaveTheContainerAsItWas) {
  TPicture picture;
  picture.OpenPictureFile(Corpus("bmp/bmpsuite-g-rgb24.bmp"));
  TGraphic* held = picture.HeldGraphic();
  int changes = 0;
  picture.OnChange = [&](TPersistent*) { ++changes; };

  TStubbornPicture stubborn;
  EXPECT_THROW(picture.AssignFrom(&stubborn), EOutOfResources);
  TNotAPicture stranger;
  try {
    picture.AssignFrom(&stranger);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TNotAPicture to a TPicture");
  }
  EXPECT_EQ(picture.HeldGraphic(), held);
  EXPECT_EQ(changes, 0);
}

TEST_F(PictureTest, HandingThePictureToAnotherClassFails) {
  TPicture picture;
  TIcon icon;
  const auto error_of = [&](TPersistent& target) -> std::string {
    try {
      picture.AssignInto(target);
      return "ok";
    } catch (const EConvertError& e) {
      return e.Message();
    }
  };
  EXPECT_EQ(error_of(icon), "Cannot assign a TPicture to a TIcon") << "empty container";
  picture.OpenPictureFile(Corpus("bmp/bmpsuite-g-rgb24.bmp"));
  EXPECT_EQ(error_of(icon), "Cannot assign a TPicture to a TIcon");
  EXPECT_TRUE(icon.IsEmpty()) << "the target is unchanged";
  TMarkedBitmap marked;
  EXPECT_EQ(error_of(marked), "Cannot assign a TPicture to a TMarkedBitmap")
      << "a bitmap is not of the derived class";
  TBitmap bitmap;
  EXPECT_EQ(error_of(bitmap), "ok");
  EXPECT_EQ(bitmap.Width(), 127);
  // The same through the target's own AssignFrom.
  TBitmap pulled;
  pulled.AssignFrom(&picture);
  EXPECT_EQ(pulled.Height(), 64);
}

TEST_F(PictureTest, ChangesAndProgressOfTheHeldPicturePassThrough) {
  TPicture picture;
  std::vector<std::string> log;
  picture.OnChange = [&](TPersistent* sender) {
    log.push_back(sender == &picture ? "change" : "change from elsewhere");
  };
  picture.OnProgress = [&](TPersistent* sender, TProgressStage stage, int percent, bool,
                           const TRect&, const std::string& msg) {
    log.push_back(Format("progress %d %d %s %s", static_cast<int>(stage), percent, msg.c_str(),
                         sender == picture.HeldGraphic() ? "held" : "other"));
  };
  picture.OpenPictureFile(Corpus("bmp/bmpsuite-g-rgb24.bmp"));
  picture.HeldGraphic()->SetTransparent(true);
  picture.HeldGraphic()->SetTransparent(true);
  picture.HeldGraphic()->NotifyProgress(picture.HeldGraphic(), psRunning, 40, false, TRect{}, "m");
  EXPECT_EQ(log, (std::vector<std::string>{"change", "change", "progress 1 40 m held"}));
}

// Icons, PNG pictures and metafiles keep their file: written back byte for
// byte, shared by a copy of the same class only, and never through the clipboard.
TEST_F(PictureTest, PicturesThatKeepTheirFileWriteItBackAndRefuseTheClipboard) {
  const auto error_of = [](auto&& call) {
    try {
      call();
      return std::string("ok");
    } catch (const Exception& e) {
      return std::string(e.ClassName()) + ": " + e.Message();
    }
  };
  TIcon icon;
  TPNGPicture png;
  TMetafile metafile;
  const struct {
    TGraphic* picture;
    const char* file;
    const char* no_clipboard;
  } cases[] = {
      {&icon, "ico/pil-hopper.ico", "Icons cannot be exchanged through the clipboard"},
      {&png, "png/pngsuite-basn2c08.png", "PNG pictures cannot be exchanged through the clipboard"},
      {&metafile, "metafile/gdip-test.emf", "Metafiles cannot be exchanged through the clipboard"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    c.picture->ReadFromFile(Corpus(c.file));
    const std::unique_ptr<TGraphic> copy = c.picture->NewOfSameClass();
    copy->AssignFrom(c.picture);
    for (TGraphic* picture : {c.picture, copy.get()}) {
      TMemoryStream written;
      picture->WriteToStream(written);
      const std::vector<uint8_t> bytes = testing::ReadAll(Corpus(c.file));
      ASSERT_EQ(written.Size(), static_cast<int64_t>(bytes.size()));
      EXPECT_EQ(std::memcmp(written.Memory(), bytes.data(), bytes.size()), 0);
    }
    const std::string refused = std::string("EInvalidGraphicOperation: ") + c.no_clipboard;
    TClipboardFormat format = kClipboardDIB;
    TClipboardData data;
    TPaletteHandle palette{};
    EXPECT_EQ(error_of([&] { c.picture->WriteToClipboard(format, data, palette); }), refused);
    EXPECT_EQ(error_of([&] { c.picture->ReadFromClipboard(format, data, palette); }), refused);
  }
  EXPECT_EQ(error_of([&] { icon.AssignFrom(&png); }),
            "EConvertError: Cannot assign a TPNGPicture to a TIcon");
  EXPECT_EQ(error_of([&] { png.AssignFrom(&icon); }),
            "EConvertError: Cannot assign a TIcon to a TPNGPicture");
  EXPECT_EQ(error_of([&] { png.SetWidth(1); }),
            "EInvalidGraphicOperation: Cannot change the size of a PNG picture");
  EXPECT_EQ(error_of([&] { icon.SetHeight(1); }),
            "EInvalidGraphicOperation: Cannot change the size of an icon");
}

}  // namespace
}  // namespace qv
