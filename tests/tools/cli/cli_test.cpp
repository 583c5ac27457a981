// quorvane-hex as scripts use it: round trips over the corpus against od, the
// exit status and message of every bad file, the stop report for the usual
// shapes of broken hex text, several files in one call, usage errors.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "tests/tools/cli/cli_test_support.h"

namespace qv::testing_cli {
namespace {

std::vector<std::string> Files(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Corpus(folder)))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// libjpeg's code for each bad file that fails to load; absent: it loads.
const std::map<std::string, int> kBadFileErrors = {
    {"jdec-65535x65535.jpg", 41},
    {"jdec-bogus-huffman.jpg", 8},
    {"jdec-cut-after-sof.jpg", 59},
    {"jdec-empty.jpg", 42},  // what the window says when it draws the empty picture
    {"jdec-height-zero.jpg", 32},
    {"jdec-missing-sof.jpg", 51},
    {"jdec-soi-eoi-only.jpg", 51},
    {"jpegsuite-dnl.jpg", 32},
    {"jpegsuite-jpegls-sof55.jpg", 68},
    {"jpegsuite-lossless-arith-sof11.jpg", 60},
    {"jpegsuite-lossless-sof3.jpg", 60},
    {"ljt-testorig-cut-before-dht.jpg", 59},
    {"ljt-testorig-dup-soi.jpg", 61},
    {"ljt-testorig-sof5.jpg", 60},
    {"ljt-testorig12.jpg", 15},
    {"own-single-ff.jpg", 53},
    {"own-soi-only.jpg", 51},
    {"pngsuite-png-named-jpg.jpg", 53},
};

// --- round trips ----------------------------------------------------------------

class RoundTrip : public CliTest, public ::testing::WithParamInterface<std::string> {};

// Every file that loads (the bad ones with trailing bytes, no end marker, cut
// data or an empty body included) comes back byte for byte, and its text is
// what od makes of it: no line break, no separators, upper case.
TEST_P(RoundTrip, TextIsOdsAndComesBackByteForByte) {
  const std::string source = Corpus("jpeg/" + GetParam());
  const std::string text = OdHex(source);

  const TRun to_stdout = Hex({"to-hex", source});
  ASSERT_EQ(to_stdout.status, 0) << to_stdout.err;
  EXPECT_EQ(to_stdout.err, "");
  EXPECT_EQ(to_stdout.out, text);

  const TRun to_file = Hex({"to-hex", source, "-o", Path("picture.hex")});
  ASSERT_EQ(to_file.status, 0) << to_file.err;
  EXPECT_EQ(to_file.out, "");
  EXPECT_EQ(ReadFile(Path("picture.hex")), text);

  const TRun from_file = Hex({"to-jpeg", Path("picture.hex"), "-o", Path("back.jpg")});
  ASSERT_EQ(from_file.status, 0) << from_file.err;
  EXPECT_EQ(from_file.err, "");
  EXPECT_EQ(ReadFile(Path("back.jpg")), ReadFile(source));

  const TRun from_stdin = Hex({"to-jpeg", "-o", Path("piped.jpg")}, Path("picture.hex"));
  ASSERT_EQ(from_stdin.status, 0) << from_stdin.err;
  EXPECT_EQ(ReadFile(Path("piped.jpg")), ReadFile(source));
  EXPECT_TRUE(Others({"picture.hex", "back.jpg", "piped.jpg"}).empty());
}

std::vector<std::string> LoadableFiles() {
  std::vector<std::string> names;
  for (const std::string& name : Files("jpeg/good")) names.push_back("good/" + name);
  for (const std::string& name : Files("jpeg/bad"))
    if (!kBadFileErrors.count(name)) names.push_back("bad/" + name);
  return names;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(LoadableFiles()), TestName);

// --- bad files -----------------------------------------------------------------

// Each one fails alone, with the program name, the file and libjpeg's code,
// and writes nothing: neither its text nor, restored from od's text, a picture.
TEST_F(CliTest, EveryBadFileFailsWithItsCode) {
  for (const auto& [name, code] : kBadFileErrors) {
    SCOPED_TRACE(name);
    const std::string source = Corpus("jpeg/bad/" + name);
    const std::string message = "JPEG error #" + std::to_string(code) + "\n";

    const TRun to_hex = Hex({"to-hex", source, "-o", Path("out.hex")});
    EXPECT_EQ(to_hex.status, 1);
    EXPECT_EQ(to_hex.out, "");
    EXPECT_EQ(to_hex.err, "quorvane-hex: " + source + ": " + message);

    WriteFile(Path("text.hex"), OdHex(source));
    const TRun to_jpeg = Hex({"to-jpeg", Path("text.hex"), "-o", Path("out.jpg")});
    EXPECT_EQ(to_jpeg.status, 1);
    EXPECT_EQ(to_jpeg.err, "quorvane-hex: " + Path("text.hex") + ": " + message);
    EXPECT_EQ(Others({"text.hex"}), std::vector<std::string>{});
  }
}

// What check finds in the files that load but do not draw cleanly.
TEST_F(CliTest, CheckReportsDecodeFailuresAndCutData) {
  struct Case {
    const char* file;
    int status;
    const char* verdict;
  };
  const Case cases[] = {
      {"good/ljt-testorig.jpg", 0, "  decodes      yes\n"},
      {"bad/ljt-testorig-trailing-bytes.jpg", 0, "  decodes      yes\n"},
      {"bad/pil-junk-between-segments.jpg", 0, "  decodes      yes, past 1 corrupt-data warning\n"},
      {"bad/jdec-empty.jpg", 1, "  decodes      no: JPEG error #42\n"},
      {"bad/ljt-testorig-no-dqt.jpg", 1, "  decodes      no: JPEG error #52\n"},
      {"bad/ljt-testorig-65500x65500.jpg", 1, "  decodes      no: Out of memory\n"},
      {"bad/ljt-testorig-cut-in-data.jpg", 1, "  decodes      damaged: the data ends before"},
      {"bad/large-pillars-1024x1024-cut.jpg", 1, "  decodes      damaged: the data ends before"},
      {"bad/ljt-testorig-no-eoi.jpg", 1, "  decodes      incomplete: the data ends without"},
      {"bad/pil-progressive-cut.jpg", 1, "  decodes      incomplete: the data ends without"},
      {"bad/own-single-ff.jpg", 1, "  loads        no: JPEG error #53\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const TRun run = Hex({"check", Corpus(std::string("jpeg/") + c.file)});
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.out.find(c.verdict), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
  }
  const TRun facts = Hex({"check", Corpus("jpeg/good/ljt-testimgp.jpg")});
  EXPECT_EQ(facts.out, Corpus("jpeg/good/ljt-testimgp.jpg") +
                           ": JPEG picture\n"
                           "  size         5645 bytes\n"
                           "  width        227\n"
                           "  height       149\n"
                           "  progressive  yes (more than one scan)\n"
                           "  decodes      yes\n");
}

// A small picture whose header claims 30000 x 30000 pixels: its data ends after
// a few rows of blocks. check says so at once instead of decoding (and
// filling) 900 million pixels; under an address limit of 4 GB, the pictures
// over the budget are refused as the window refuses them.
TEST_F(CliTest, CheckSaysWhereTheDataEndsBeforeAClaimedHugeSize) {
  const std::string ppm = Path("small.ppm");
  ASSERT_EQ(RunProgram({"sh", "-c", "djpeg -pnm \"$1\" >\"$2\"", "sh",
                        Corpus("jpeg/good/ljt-testorig.jpg"), ppm},
                       dir_)
                .status,
            0);
  struct Case {
    const char* name;
    const char* options;
    const char* verdict;  // with 4 GB of address space
  };
  const Case cases[] = {
      {"colour.jpg", "", "no: Out of memory"},
      {"gray.jpg", "-grayscale", "damaged: the data ends before the picture is complete"},
      {"gray-restarts.jpg", "-grayscale -restart 1",
       "damaged: the data ends before the picture is complete, and the rest is filled in\n"},
      // The coefficients of every block are kept for a file of several scans.
      {"gray-progressive.jpg", "-grayscale -progressive", "no: Out of memory"},
      // Arithmetic coding may end its data early by right: the decoder reads zeros.
      {"gray-arithmetic.jpg", "-grayscale -arithmetic", "yes\n"},
  };
  std::vector<std::string> files;
  for (const Case& c : cases) {
    const TRun made = RunProgram({"sh", "-c", std::string("cjpeg ") + c.options + " \"$1\" >\"$2\"",
                                  "sh", ppm, Path("made")},
                                 dir_);
    ASSERT_EQ(made.status, 0) << made.err;
    WriteFile(Path(c.name), WithClaimedSize(ReadFile(Path("made")), 30000, 30000));
    files.push_back(Path(c.name));
  }
  // With the machine's memory the colour picture fits too, and its data ends early.
  const TRun colour = Hex({"check", Path("colour.jpg")});
  EXPECT_EQ(colour.status, 1);
  EXPECT_NE(colour.out.find("  decodes      damaged: the data ends before the picture is "
                            "complete, and the rest is filled in\n"),
            std::string::npos)
      << colour.out;

#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's shadow memory does not fit under an address limit";
#endif
  std::vector<std::string> limited = {"sh", "-c", "ulimit -v 4194304; exec \"$0\" check \"$@\"",
                                      QUORVANE_HEX};
  limited.insert(limited.end(), files.begin(), files.end());
  const TRun run = RunProgram(limited, dir_);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  for (const Case& c : cases) {
    const size_t report = run.out.find(Path(c.name) + ": JPEG picture\n");
    ASSERT_NE(report, std::string::npos) << run.out;
    const size_t verdict = run.out.find("  decodes      ", report);
    ASSERT_NE(verdict, std::string::npos) << run.out;
    EXPECT_EQ(run.out.compare(verdict + 15, std::strlen(c.verdict), c.verdict), 0)
        << c.name << ":\n"
        << run.out.substr(report);
    EXPECT_NE(run.out.find("  width        30000\n", report), std::string::npos);
  }
}

// --- loading as the window's open command does ---------------------------------------

TEST_F(CliTest, FilesLoadByTheirExtensionWithTheWindowsTexts) {
  const std::string jpeg = ReadFile(Corpus("jpeg/good/ljt-testorig.jpg"));
  for (const char* name : {"x.gif", "noext", "x.jpg.bak", "ends-in-dot.", "X.JPG", "y.Jpeg"})
    WriteFile(Path(name), jpeg);
  fs::create_directory(Path("folder.jpg"));
  fs::create_directory(Path("my.dir"));
  WriteFile(Path("my.dir/picture"), jpeg);
  fs::copy_file(Corpus("bmp/bmpsuite-g-rgb24.bmp"), Path("real.bmp"));
  WriteFile(Path("jpeg-named.bmp"), jpeg);

  struct Case {
    std::string file;
    std::string error;  // empty: converts
  };
  const Case cases[] = {
      {Path("X.JPG"), ""},
      {Path("y.Jpeg"), ""},
      {Path("x.gif"), "Unknown picture file extension (.gif)"},
      {Path("noext"), "Unknown picture file extension (.)"},
      {Path("ends-in-dot."), "Unknown picture file extension (.)"},
      {Path("x.jpg.bak"), "Unknown picture file extension (.bak)"},
      {Path("my.dir/picture"), "Unknown picture file extension (.)"},
      {Path("missing.jpg"),
       "Cannot open file \"" + Path("missing.jpg") + "\". No such file or directory"},
      {Path("folder.jpg"), "Cannot open file \"" + Path("folder.jpg") + "\". Is a directory"},
      {Path("real.bmp"), "Cannot assign a TPicture to a TJPEGImage"},
      {Path("jpeg-named.bmp"), "Bitmap image is not valid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const TRun run = Hex({"to-hex", c.file});
    if (c.error.empty()) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.out, OdHex(c.file));
    } else {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, "quorvane-hex: " + c.file + ": " + c.error + "\n");
    }
  }
}

// --- several files ----------------------------------------------------------------

TEST_F(CliTest, SeveralFilesWithOneBadOneDoTheOthers) {
  fs::copy_file(Corpus("jpeg/good/ljt-testorig.jpg"), Path("a.jpg"));
  fs::copy_file(Corpus("jpeg/bad/own-single-ff.jpg"), Path("bad.jpg"));
  fs::copy_file(Corpus("jpeg/good/jpegsuite-baseline-1x1.jpg"), Path("c.jpeg"));

  const TRun beside = Hex({"to-hex", Path("a.jpg"), Path("bad.jpg"), Path("c.jpeg")});
  EXPECT_EQ(beside.status, 1);
  EXPECT_EQ(beside.out, "");
  EXPECT_EQ(beside.err, "quorvane-hex: " + Path("bad.jpg") + ": JPEG error #53\n");
  EXPECT_EQ(ReadFile(Path("a.jpg.hex")), OdHex(Path("a.jpg")));
  EXPECT_EQ(ReadFile(Path("c.jpeg.hex")), OdHex(Path("c.jpeg")));
  EXPECT_EQ(Others({"a.jpg", "bad.jpg", "c.jpeg", "a.jpg.hex", "c.jpeg.hex"}),
            std::vector<std::string>{});

  fs::create_directory(Path("out"));
  const TRun into =
      Hex({"to-hex", "-d", Path("out"), Path("a.jpg"), Path("bad.jpg"), Path("c.jpeg")});
  EXPECT_EQ(into.status, 1);
  EXPECT_EQ(ReadFile(Path("out/a.jpg.hex")), OdHex(Path("a.jpg")));
  EXPECT_EQ(ReadFile(Path("out/c.jpeg.hex")), OdHex(Path("c.jpeg")));
  EXPECT_FALSE(fs::exists(Path("out/bad.jpg.hex")));

  // Two files of one name would overwrite each other in DIR: refused up front.
  fs::create_directory(Path("sub"));
  fs::copy_file(Path("a.jpg"), Path("sub/a.jpg"));
  fs::create_directory(Path("empty"));
  const TRun clash = Hex({"to-hex", Path("a.jpg"), Path("sub/a.jpg"), "-d", Path("empty")});
  EXPECT_EQ(clash.status, 2);
  EXPECT_TRUE(fs::is_empty(Path("empty")));

  const TRun all_good = Hex({"to-hex", Path("a.jpg"), Path("c.jpeg"), "-d", Path("empty")});
  EXPECT_EQ(all_good.status, 0) << all_good.err;
}

// A folder for a picture says it is a folder; -d makes a missing folder, as
// mkdir -p does, and names one it cannot make.
TEST_F(CliTest, ToHexSaysWhatAFolderIsAndMakesAMissingOutputFolder) {
  fs::copy_file(Corpus("jpeg/good/ljt-testorig.jpg"), Path("a.jpg"));
  for (const char* name : {"photos", "looks-like.jpg"}) {
    fs::create_directory(Path(name));
    const TRun folder = Hex({"to-hex", Path(name), "-o", Path("out.hex")});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "quorvane-hex: " + Path(name) + ": Cannot open file \"" + Path(name) +
                              "\". Is a directory\n");
    EXPECT_FALSE(fs::exists(Path("out.hex")));
  }

  const TRun made = Hex({"to-hex", Path("a.jpg"), "-d", Path("new/deeper")});
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(ReadFile(Path("new/deeper/a.jpg.hex")), OdHex(Path("a.jpg")));

  const TRun blocked = Hex({"to-hex", Path("a.jpg"), "-d", Path("a.jpg/sub")});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.err.rfind("quorvane-hex: " + Path("a.jpg/sub") + ": Cannot create folder \"" +
                                  Path("a.jpg/sub") + "\". ",
                              0),
            0u)
      << blocked.err;
}

// --- to-jpeg's output file -------------------------------------------------------------

TEST_F(CliTest, ToJPEGReplacesTheOutputWholeOrNotAtAll) {
  const std::string small = Corpus("jpeg/good/jpegsuite-baseline-1x1.jpg");
  WriteFile(Path("small.hex"), OdHex(small));

  // A longer old file is replaced, not overwritten in place; its permissions stay.
  WriteFile(Path("out.jpg"), std::string(1 << 20, 'x'));
  fs::permissions(Path("out.jpg"), fs::perms::owner_read | fs::perms::owner_write);
  const TRun replace = Hex({"to-jpeg", Path("small.hex"), "-o", Path("out.jpg")});
  ASSERT_EQ(replace.status, 0) << replace.err;
  EXPECT_EQ(ReadFile(Path("out.jpg")), ReadFile(small));
  EXPECT_EQ(fs::status(Path("out.jpg")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // Text that does not load: the old file stays as it was, and nothing is left beside it.
  WriteFile(Path("prefixed.hex"), "0x" + OdHex(small));
  const TRun refused = Hex({"to-jpeg", Path("prefixed.hex"), "-o", Path("out.jpg")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("quorvane-hex: " + Path("prefixed.hex") + ": JPEG error #53\n"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(ReadFile(Path("out.jpg")), ReadFile(small));
  EXPECT_EQ(Others({"small.hex", "prefixed.hex", "out.jpg"}), std::vector<std::string>{});

  // No folder to write in.
  const TRun nowhere = Hex({"to-jpeg", Path("small.hex"), "-o", Path("no/such/out.jpg")});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.err, "quorvane-hex: " + Path("small.hex") + ": Cannot create file \"" +
                             Path("no/such/out.jpg") + "\". No such file or directory\n");

  // A read-only file is left as it is, whoever runs the program (Windows refuses
  // to replace it anyway), and nothing is left beside it.
  WriteFile(Path("kept.jpg"), "old bytes");
  fs::permissions(Path("kept.jpg"), fs::perms::owner_read | fs::perms::group_read);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"to-jpeg", Path("small.hex"), "-o", Path("kept.jpg")},
        std::vector<std::string>{"to-hex", small, "-o", Path("kept.jpg")}}) {
    const TRun kept = Hex(command);
    EXPECT_EQ(kept.status, 1) << command[0];
    EXPECT_NE(
        kept.err.find(": Cannot create file \"" + Path("kept.jpg") + "\". Permission denied\n"),
        std::string::npos)
        << kept.err;
    EXPECT_EQ(ReadFile(Path("kept.jpg")), "old bytes");
    EXPECT_EQ(Others({"small.hex", "prefixed.hex", "out.jpg", "kept.jpg"}),
              std::vector<std::string>{});
  }

  // Empty or blank text restores no picture: nothing is written.
  for (const char* text : {"", "\r\n", " ", "   \t\r\n"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    WriteFile(Path("blank.hex"), text);
    const TRun blank = Hex({"to-jpeg", Path("blank.hex"), "-o", Path("blank.jpg")});
    EXPECT_EQ(blank.status, 1);
    EXPECT_NE(blank.err.find("quorvane-hex: " + Path("blank.hex") + ": JPEG error #"),
              std::string::npos)
        << blank.err;
    EXPECT_FALSE(fs::exists(Path("blank.jpg")));
  }
}

// Text broken after the header still loads, as in the window: the picture has
// L/2 bytes, zero from the stop on, and the user is told where it stopped.
TEST_F(CliTest, ToJPEGSaysWhereBrokenTextStopped) {
  const std::string source = Corpus("jpeg/good/ljt-testorig.jpg");
  const std::string text = OdHex(source);
  WriteFile(Path("broken.hex"), text.substr(0, 8000) + "\r\n" + text.substr(8000));
  const TRun run = Hex({"to-jpeg", Path("broken.hex"), "-o", Path("out.jpg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "quorvane-hex: " + Path("broken.hex") +
                         ": warning: hex digits stop at offset 8000 (line 1, column 8001), a line "
                         "break \"\\r\\n\"; the 1771 bytes from there on are zero (see "
                         "'quorvane-hex check')\n");
  const std::string bytes = ReadFile(Path("out.jpg"));
  ASSERT_EQ(bytes.size(), (text.size() + 2) / 2);
  const std::string original = ReadFile(source);
  EXPECT_EQ(bytes.substr(0, 4000), original.substr(0, 4000));
  EXPECT_EQ(bytes.substr(4000), std::string(bytes.size() - 4000, '\0'));
}

// --- the stop report ------------------------------------------------------------------

TEST_F(CliTest, CheckShowsWhereAndWhyHexTextStops) {
  const std::string text = OdHex(Corpus("jpeg/good/ljt-testorig.jpg"));  // 11540 characters
  auto wrapped = [&](size_t width, const std::string& line_break) {
    std::string out;
    for (size_t at = 0; at < text.size(); at += width) {
      if (at > 0) out += line_break;
      out += text.substr(at, width);
    }
    return out;
  };
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string per_byte;
  for (size_t at = 0; at < text.size(); at += 2) per_byte += "0x" + text.substr(at, 2) + ", ";

  struct Case {
    const char* what;
    std::string content;
    int status;
    std::string stop;  // the "stops at" line; empty: no stop
  };
  const Case cases[] = {
      {"a blank", text.substr(0, 100) + " " + text.substr(100), 1,
       "offset 100 (line 1, column 101): a blank \" \""},
      {"wrapped, CR LF", wrapped(64, "\r\n"), 1,
       "offset 64 (line 1, column 65): a line break \"\\r\\n\""},
      {"wrapped, LF", wrapped(76, "\n"), 1, "offset 76 (line 1, column 77): a line break \"\\n\""},
      {"0x prefix", "0x" + text, 1, "offset 1 (line 1, column 2): a 0x prefix \"0x\""},
      {"0x per byte", per_byte, 1, "offset 1 (line 1, column 2): a 0x prefix \"0x\""},
      {"a tab", text.substr(0, 10) + "\t" + text.substr(10), 1,
       "offset 10 (line 1, column 11): a tab \"\\t\""},
      {"outside ASCII", text.substr(0, 7) + "\xC3\xA9" + text.substr(7), 1,
       "offset 7 (line 1, column 8): a character outside ASCII \"\\xC3\\xA9\""},
      {"a CR LF at the end", text + "\r\n", 1,
       "offset 11540 (line 1, column 11541): a line break \"\\r\\n\""},
      {"lower case", lower, 0, ""},
      {"a LF at the end", text + "\n", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(Path("text.txt"), c.content);
    const TRun run = Hex({"check", Path("text.txt")});
    EXPECT_EQ(run.status, c.status) << run.out;
    EXPECT_EQ(run.err, "");
    if (c.stop.empty()) {
      EXPECT_EQ(run.out.find("stops at"), std::string::npos) << run.out;
      EXPECT_NE(run.out.find("  decodes      yes\n"), std::string::npos) << run.out;
    } else {
      EXPECT_NE(run.out.find("  stops at     " + c.stop + "\n"), std::string::npos) << run.out;
    }
  }

  // The whole report for text wrapped inside the header.
  WriteFile(Path("wrapped.txt"), wrapped(64, "\r\n"));
  const TRun run = Hex({"check", Path("wrapped.txt")});
  EXPECT_EQ(run.out, Path("wrapped.txt") +
                         ": hex text\n"
                         "  length       11900 characters\n"
                         "  form         hex digits: 5770 bytes, 360 characters not data\n"
                         "  pairs        32 of 5950 decode\n"
                         "               'quorvane-hex normalize' or 'to-jpeg --lenient' reads it "
                         "in full\n"
                         "  stops at     offset 64 (line 1, column 65): a line break \"\\r\\n\"\n"
                         "  near         \"...060607060508\\r\\n070707090908...\"\n"
                         "                               ^\n"
                         "               the restored picture gets 5918 zero bytes from there on\n"
                         "  restores     no: JPEG error #51\n");
}

// --- the command line --------------------------------------------------------------------

TEST_F(CliTest, UsageErrorsExitWithTwoAndDoNothing) {
  fs::copy_file(Corpus("jpeg/good/ljt-testorig.jpg"), Path("a.jpg"));
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"to-hex"},
      {"to-hex", Path("a.jpg"), Path("a.jpg"), "-o", Path("x")},
      {"to-hex", Path("a.jpg"), "-o", Path("x"), "-d", Path(".")},
      {"to-hex", Path("a.jpg"), "-o"},
      {"to-hex", "--bogus", Path("a.jpg")},
      {"to-hex", Path("a.jpg"), "-d", Path("a.jpg")},
      {"to-jpeg", Path("a.jpg")},
      {"to-jpeg", Path("a"), Path("b"), "-o", Path("x")},
      {"check"},
      {"check", Path("a.jpg"), "-o", Path("x")},
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const std::string& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    const TRun run = Hex(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("quorvane-hex: ", 0), 0u) << run.err;
    EXPECT_EQ(Others({"a.jpg"}), std::vector<std::string>{});
  }
}

TEST_F(CliTest, HelpAndVersion) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"to-hex", "--help"}}) {
    const TRun run = Hex(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: quorvane-hex to-hex FILE...", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
  }
  const TRun version = Hex({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("quorvane-hex ") + QUORVANE_VERSION + "\n");

  // "--" ends the options: what follows is a file, whatever it looks like.
  fs::copy_file(Corpus("jpeg/good/ljt-testorig.jpg"), Path("-o.jpg"));
  const TRun dashed = Hex({"to-hex", "--", Path("-o.jpg")});
  EXPECT_EQ(dashed.status, 0) << dashed.err;
  EXPECT_EQ(dashed.out, OdHex(Path("-o.jpg")));
}

}  // namespace
}  // namespace qv::testing_cli
