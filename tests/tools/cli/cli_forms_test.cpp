// quorvane-hex and the text forms: normalize and to-jpeg --lenient on what
// the real tools write, to-hex --format against the tools that write each
// form, several texts to pictures with -d, and check naming the form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/cli/cli_test_support.h"

namespace qv::testing_cli {
namespace {

class CliForms : public CliTest {
 protected:
  // Runs a shell command line in the test's folder with $1 the picture.
  std::string Tool(const std::string& command, const std::string& picture) {
    const TRun run =
        RunProgram({"sh", "-c", "cd \"$2\" && " + command, "sh", picture, dir_.string()}, dir_);
    EXPECT_EQ(run.status, 0) << command << ": " << run.err;
    return run.out;
  }
};

// Each tool's output, normalised, is the strict run of the picture's bytes,
// and to-jpeg --lenient rebuilds the file byte for byte.
TEST_F(CliForms, NormalizeReadsWhatTheToolsWrite) {
  const std::string picture = Corpus("jpeg/good/ljt-testorig.jpg");
  fs::copy_file(picture, Path("pic.jpg"));
  const std::string strict = OdHex(picture);
  struct Case {
    const char* command;
    const char* form;  // in the report on standard error
  } cases[] = {
      {"xxd \"$1\"", "an xxd dump"},
      {"xxd -p \"$1\"", "hex digits"},
      {"xxd -i pic.jpg", "a C array"},
      {"hexdump -C \"$1\"", "a hexdump -C dump"},
      {"od -A x -t x1z -v \"$1\"", "an od byte dump"},
      {"od -x \"$1\"", "a dump of 16-bit words"},
      {"od -An -v -tx1 \"$1\"", "hex digits"},
      {"base64 \"$1\"", "base64"},
      {"printf 'data:image/jpeg;base64,%s' \"$(base64 -w0 \"$1\")\"", "a data: URI"},
      {"python3 -c 'import sys; print(open(sys.argv[1], \"rb\").read().hex(\" \"))' \"$1\"",
       "hex digits"},
      {"sqlite3 :memory: \"select quote(readfile('$1'))\"", "an SQL X'...' literal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string tool = std::string(c.command).substr(0, std::string(c.command).find(' '));
    if (RunProgram({"sh", "-c", "command -v " + tool}, dir_).status != 0) {
      ADD_FAILURE() << tool << " is not installed (scripts/install-deps.sh installs it)";
      continue;
    }
    WriteFile(Path("in.txt"), Tool(c.command, picture));
    const TRun normal = Hex({"normalize", Path("in.txt")});
    EXPECT_EQ(normal.status, 0) << normal.err;
    EXPECT_EQ(normal.out, strict);
    EXPECT_NE(normal.err.find(std::string("read as ") + c.form), std::string::npos) << normal.err;

    const TRun lenient = Hex({"to-jpeg", "--lenient", Path("in.txt"), "-o", Path("out.jpg")});
    EXPECT_EQ(lenient.status, 0) << lenient.err;
    EXPECT_EQ(ReadFile(Path("out.jpg")), ReadFile(picture));
    fs::remove(Path("out.jpg"));
  }
}

TEST_F(CliForms, NormalizeRefusesAndSaysWhatIsMissing) {
  // Nothing of a hex text: refused, nothing written.
  WriteFile(Path("prose.txt"), "Hello, world!\n");
  TRun run = Hex({"normalize", Path("prose.txt"), "-o", Path("out.hex")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quorvane-hex: " + Path("prose.txt") +
                         ": not a hex text in any known form: line 1, column 1: 'H'\n");
  EXPECT_FALSE(fs::exists(Path("out.hex")));
  run = Hex({"to-jpeg", "--lenient", Path("prose.txt"), "-o", Path("out.jpg")});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(Path("out.jpg")));

  // A dump whose addresses skip a line: written, but the bytes are known to be
  // missing, which the exit status says.
  WriteFile(Path("gap.txt"),
            "00000000: ffd8 ffe0 0010 4a46 4946 0001 0101 0048  ......JFIF.....H\n"
            "00000020: 0048 0000 ffdb 0043 0008 0606 0706 0508  .H.....C........\n");
  run = Hex({"normalize", Path("gap.txt")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "FFD8FFE000104A464946000101010048"
            "00480000FFDB00430008060607060508");
  EXPECT_NE(run.err.find("the addresses skip 16 bytes"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("bytes are missing; the result is incomplete"), std::string::npos);
}

// Every form to-hex writes reads back to the picture's bytes, and the forms a
// real tool writes match that tool exactly.
TEST_F(CliForms, ToHexWritesEveryFormAndTheToolsAgree) {
  const std::string picture = Corpus("jpeg/good/ljt-testimgp.jpg");
  fs::copy_file(picture, Path("pic.jpg"));
  const std::string strict = OdHex(picture);
  for (const char* form :
       {"hex", "hex-lower", "pairs16", "pairs32", "0x-list", "escaped", "c-array", "sql",
        "sql-server", "postgresql", "base64", "base64-lines", "data-uri"}) {
    SCOPED_TRACE(form);
    const TRun run = Hex({"to-hex", "--format", form, Path("pic.jpg"), "-o", Path("out.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    const TRun back = Hex({"normalize", Path("out.txt")});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, strict);
  }
  struct Agreement {
    std::vector<std::string> args;
    const char* command;
  } agreements[] = {
      {{"--format", "c-array", "pic.jpg"}, "xxd -i pic.jpg"},
      {{"--format", "c-array", "--name", "photo.jpg", "pic.jpg"},
       "cp pic.jpg photo.jpg && xxd -i photo.jpg"},
      {{"--format", "base64", "pic.jpg"}, "base64 -w0 pic.jpg"},
      {{"--format", "base64-lines", "pic.jpg"}, "base64 pic.jpg"},
      {{"--format", "hex-lower", "pic.jpg"}, "xxd -p -c0 pic.jpg | tr -d '\\n'"},
  };
  for (const Agreement& a : agreements) {
    SCOPED_TRACE(a.command);
    const std::string expected = Tool(a.command, picture);
    std::vector<std::string> args{"sh",    "-c",          "cd \"$1\" && shift && exec \"$@\"",
                                  "sh",    dir_.string(), QUORVANE_HEX,
                                  "to-hex"};
    args.insert(args.end(), a.args.begin(), a.args.end());
    const TRun run = RunProgram(args, dir_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
  }
}

TEST_F(CliForms, ToJPEGTakesSeveralTextsIntoAFolder) {
  const std::string a = Corpus("jpeg/good/ljt-testorig.jpg");
  const std::string b = Corpus("jpeg/good/ljt-testimggray.jpg");
  WriteFile(Path("a.jpg.hex"), OdHex(a));
  WriteFile(Path("b.txt"), OdHex(b));
  WriteFile(Path("broken.hex"), "not hex at all");
  fs::create_directory(Path("out"));
  const TRun run =
      Hex({"to-jpeg", Path("a.jpg.hex"), Path("b.txt"), Path("broken.hex"), "-d", Path("out")});
  EXPECT_EQ(run.status, 1);  // one failed, the others are done
  EXPECT_EQ(ReadFile(Path("out/a.jpg")), ReadFile(a));
  EXPECT_EQ(ReadFile(Path("out/b.jpg")), ReadFile(b));
  EXPECT_FALSE(fs::exists(Path("out/broken.jpg")));
  EXPECT_NE(run.err.find(Path("broken.hex") + ": JPEG error #53"), std::string::npos) << run.err;

  // Two texts that would make the same picture: refused before anything is written.
  WriteFile(Path("a.jpg.txt"), OdHex(a));
  const TRun clash = Hex({"to-jpeg", Path("a.jpg.hex"), Path("a.jpg.txt"), "-d", Path("out2")});
  EXPECT_EQ(clash.status, 2);
}

TEST_F(CliForms, CheckNamesTheFormAndUsageErrorsSayWhy) {
  fs::copy_file(Corpus("jpeg/good/ljt-testorig.jpg"), Path("pic.jpg"));
  WriteFile(Path("list.txt"), Tool("xxd -i < pic.jpg", Path("pic.jpg")));
  const TRun check = Hex({"check", Path("list.txt")});
  EXPECT_NE(check.out.find("  form         a 0x list: 5770 bytes"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("'quorvane-hex normalize' or 'to-jpeg --lenient' reads it in full"),
            std::string::npos);

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"to-hex", "--format", "hexadecimal", Path("pic.jpg")},
           {"to-hex", "--name", "x", Path("pic.jpg")},
           {"to-hex", "--lenient", Path("pic.jpg")},
           {"to-jpeg", Path("a"), Path("b"), "-o", Path("x.jpg")},
           {"to-jpeg", "--format", "hex", Path("a"), "-o", Path("x.jpg")},
           {"normalize", Path("a"), Path("b")},
           {"normalize", Path("a"), "-d", Path(".")},
       }) {
    const TRun run = Hex(args);
    EXPECT_EQ(run.status, 2) << args[0] << " " << args[1];
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace qv::testing_cli
