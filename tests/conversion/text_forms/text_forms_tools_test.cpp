// Against the real tools: every form they write from corpus pictures reads
// back to the file's bytes, and the writer's output is theirs byte for byte
// where a tool writes that form; the C array and the escapes go through the C
// compiler, the SQL literal through sqlite3.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/text_forms/hex_text_recogniser.h"
#include "conversion/text_forms/text_form_writer.h"
#include "tests/conversion/text_forms/tool_runner.h"
#include "tests/test_support.h"

namespace qv {
namespace {

using testing_support::Corpus;
using testing_support::ReadAll;
using testing_tools::HaveTool;
using testing_tools::Shell;
using testing_tools::TScratchFolder;

// Corpus pictures: tiny, odd-sized, with and without lines that od and
// hexdump fold into '*', and a photo.
const char* const kPictures[] = {
    "jpeg/good/jpegsuite-baseline-1x1.jpg",  // 156 bytes
    "jpeg/good/ljt-testimggray.jpg",         // 4,333: odd, no repeated lines
    "jpeg/good/pil-ycck-adobe.jpg",          // repeated lines
    "jpeg/good/large-pil-photo-2000x1072.jpg",
};

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

std::string Folder(const std::string& path) {
  return path.substr(0, path.rfind('/'));
}
std::string Name(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// Python snippets read the file named first on their command line into `d`.
const char* const kPythonHead =
    "import sys, binascii, base64\nd = open(sys.argv[1], 'rb').read()\n";

std::string Python(const TScratchFolder& scratch, const std::string& body,
                   const std::string& file) {
  const std::string script = scratch.Write("snippet.py", std::string(kPythonHead) + body);
  return Shell("python3 " + Quoted(script) + " " + Quoted(file));
}

struct TToolForm {
  const char* Name;
  const char* Tool;
  // A shell command with {f} for the picture's path in quotes ({path} without,
  // {dir} and {name} for its folder and name), or a Python snippet when Tool
  // is python3.
  const char* Command;
  THexTextForm Form;
  bool Swapped = false;
};

void PrintTo(const TToolForm& t, std::ostream* os) {
  *os << t.Name;
}

std::string Expand(std::string command, const std::string& file) {
  for (size_t at; (at = command.find("{f}")) != std::string::npos;)
    command.replace(at, 3, Quoted(file));
  for (size_t at; (at = command.find("{path}")) != std::string::npos;) command.replace(at, 6, file);
  for (size_t at; (at = command.find("{dir}")) != std::string::npos;)
    command.replace(at, 5, Quoted(Folder(file)));
  for (size_t at; (at = command.find("{name}")) != std::string::npos;)
    command.replace(at, 6, Quoted(Name(file)));
  return command;
}

using F = THexTextForm;
const TToolForm kToolForms[] = {
    {"xxd", "xxd", "xxd {f}", F::XxdDump},
    {"xxd_upper_bytes", "xxd", "xxd -u -g1 {f}", F::XxdDump},
    {"xxd_32_columns", "xxd", "xxd -c 32 {f}", F::XxdDump},
    {"xxd_autoskip", "xxd", "xxd -a {f}", F::XxdDump},
    {"xxd_i", "xxd", "cd {dir} && xxd -i {name}", F::CArray},
    {"xxd_i_standard_input", "xxd", "xxd -i < {f}", F::HexList},
    {"xxd_p", "xxd", "xxd -p {f}", F::Hex},
    {"hexdump_C", "hexdump", "hexdump -C {f}", F::HexdumpCanonical},
    {"hexdump", "hexdump", "hexdump {f}", F::WordDump, true},
    {"od_x", "od", "od -x {f}", F::WordDump, true},
    {"od_An_tx1_v", "od", "od -An -tx1 -v {f}", F::Hex},
    {"od_Ax_tx1z_v", "od", "od -A x -t x1z -v {f}", F::OdBytes},
    {"od_Ax_tx1z", "od", "od -A x -t x1z {f}", F::OdBytes},
    {"od_tx1", "od", "od -t x1 {f}", F::OdBytes},
    {"od_Ad_tx1", "od", "od -A d -t x1 {f}", F::OdBytes},
    {"base64", "base64", "base64 {f}", F::Base64},
    {"base64_w0", "base64", "base64 -w0 {f}", F::Base64},
    {"basenc_base64url", "basenc", "basenc --base64url {f}", F::Base64},
    {"basenc_base16", "basenc", "basenc --base16 {f}", F::Hex},
    {"sqlite3_hex", "sqlite3", "sqlite3 :memory: \"SELECT hex(readfile('{path}'))\"", F::Hex},
    {"sqlite3_quote", "sqlite3", "sqlite3 :memory: \"SELECT quote(readfile('{path}'))\"",
     F::SqlBlob},
    {"python_hexlify", "python3", "print(binascii.hexlify(d).decode())", F::Hex},
    {"python_hex_blanks", "python3", "print(d.hex(' ', 1))", F::Hex},
    {"python_escapes", "python3", "print(''.join('\\\\x%02x' % b for b in d))", F::EscapedHex},
    {"python_0x_list", "python3", "print(', '.join('0x%02X' % b for b in d))", F::HexList},
    {"python_data_uri", "python3",
     "print('data:image/jpeg;base64,' + base64.b64encode(d).decode())", F::DataUri},
    {"python_sql_server", "python3", "print('INSERT INTO p VALUES (0x' + d.hex().upper() + ');')",
     F::SqlServerBinary},
    {"python_postgres_bytea", "python3", "print(\"'\\\\x\" + d.hex() + \"'::bytea\")",
     F::PostgresBytea},
    {"python_postgres_decode", "python3", "print(\"SELECT decode('\" + d.hex() + \"', 'hex');\")",
     F::PostgresDecode},
};

class ToolForm : public testing::TestWithParam<TToolForm> {};

TEST_P(ToolForm, ReadsBackToTheFilesBytes) {
  const TToolForm& t = GetParam();
  QV_SKIP_WITHOUT(t.Tool);
  TScratchFolder scratch;
  const bool python = std::string(t.Tool) == "python3";
  for (const char* picture : kPictures) {
    // Python's loops take seconds over the photo; the small files show the same.
    if (python && picture == kPictures[3]) continue;
    const std::string file = Corpus(picture);
    SCOPED_TRACE(picture);
    const std::string bytes = ReadAll(file);
    ASSERT_FALSE(bytes.empty());
    const std::string text =
        python ? Python(scratch, t.Command, file) : Shell(Expand(t.Command, file));
    ASSERT_FALSE(text.empty());
    const TRecognition read = RecogniseHexText(text);
    EXPECT_EQ(read.Form, t.Form) << text.substr(0, 300);
    EXPECT_TRUE(read.Bytes == bytes) << read.Bytes.size() << " bytes read of " << bytes.size();
    EXPECT_EQ(read.IssueCount, 0);
    EXPECT_FALSE(read.Lossy);
    EXPECT_EQ(read.Swapped, t.Swapped);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ToolForm, testing::ValuesIn(kToolForms),
                         [](const testing::TestParamInfo<TToolForm>& info) {
                           return std::string(info.param.Name);
                         });

// Without addresses, od folds repeated lines into a '*' whose length is lost:
// the reading says so instead of making other bytes; with -v it is exact. A
// word dump without addresses cannot show an odd length: its last word's
// padding stays.
TEST(ToolFormsWithoutAddresses, SayWhatTheyCannotRestore) {
  QV_SKIP_WITHOUT("od");
  for (const char* picture : kPictures) {
    const std::string file = Corpus(picture);
    SCOPED_TRACE(picture);
    const std::string bytes = ReadAll(file);
    for (const char* command : {"od -An -tx1 ", "od -An -x "}) {
      SCOPED_TRACE(command);
      const std::string text = Shell(command + Quoted(file));
      const TRecognition read = RecogniseHexText(text);
      ASSERT_TRUE(read.Recognised());
      const bool folded = text.find("\n*\n") != std::string::npos;
      EXPECT_EQ(read.Lossy, folded);
      if (folded) {
        ASSERT_FALSE(read.Issues.empty());
        EXPECT_EQ(read.Issues[0].Kind, THexTextIssueKind::RepeatUnknown);
        EXPECT_LT(read.Bytes.size(), bytes.size());
      } else if (std::string(command) == "od -An -x " && bytes.size() % 2 == 1) {
        EXPECT_TRUE(read.Bytes == bytes + '\0');
      } else {
        EXPECT_TRUE(read.Bytes == bytes);
      }
    }
    const std::string exact = Shell("od -An -x -v " + Quoted(file));
    const TRecognition words = RecogniseHexText(exact);
    EXPECT_EQ(words.Form, THexTextForm::WordDump);
    EXPECT_TRUE(words.Swapped);
    EXPECT_TRUE(words.Bytes.substr(0, bytes.size()) == bytes);
  }
}

// The writer's output is the tool's, byte for byte.
TEST(TextFormWriterAgainstTools, WritesWhatTheToolsWrite) {
  for (const char* tool : {"xxd", "od", "base64", "basenc", "sqlite3", "python3"})
    QV_SKIP_WITHOUT(tool);
  TScratchFolder scratch;
  for (const char* picture : kPictures) {
    const std::string file = Corpus(picture);
    SCOPED_TRACE(picture);
    const std::string bytes = ReadAll(file);
    TTextFormOptions named;
    named.FileName = Name(file);
    const std::string f = Quoted(file);
    struct TCase {
      TTextForm form;
      std::string tool_output;
    };
    std::vector<TCase> cases = {
        {TTextForm::CArray,
         Shell("cd " + Quoted(Folder(file)) + " && xxd -i " + Quoted(Name(file)))},
        {TTextForm::HexList, Shell("xxd -i < " + f)},
        {TTextForm::HexUpper, Shell("basenc --base16 -w0 " + f)},
        {TTextForm::HexUpper, Shell("xxd -p " + f + " | tr -d '\\n' | tr a-f A-F")},
        {TTextForm::HexLower, Shell("xxd -p " + f + " | tr -d '\\n'")},
        {TTextForm::HexPairs16, Shell("od -An -tx1 -v -w16 " + f + " | sed 's/^ //' | tr a-f A-F")},
        {TTextForm::HexPairs32, Shell("od -An -tx1 -v -w32 " + f + " | sed 's/^ //' | tr a-f A-F")},
        {TTextForm::Base64, Shell("base64 -w0 " + f)},
        {TTextForm::Base64Lines, Shell("base64 " + f)},
        {TTextForm::DataUri, "data:image/jpeg;base64," + Shell("base64 -w0 " + f)},
        {TTextForm::SqlBlob,
         Shell("sqlite3 :memory: \"SELECT quote(readfile('" + file + "'))\" | tr -d '\\n'")},
    };
    // Python's loops take seconds over the photo; the small files show the same.
    if (picture != kPictures[3]) {
      cases.push_back(
          {TTextForm::EscapedHex,
           Python(scratch, "sys.stdout.write(''.join('\\\\x%02x' % b for b in d))", file)});
      cases.push_back({TTextForm::SqlServerBinary,
                       Python(scratch, "sys.stdout.write('0x' + d.hex().upper())", file)});
      cases.push_back(
          {TTextForm::PostgresBytea,
           Python(scratch, "sys.stdout.write(\"'\\\\x\" + d.hex() + \"'::bytea\")", file)});
    }
    for (const auto& c : cases) {
      SCOPED_TRACE(TextFormInfo(c.form).Key);
      ASSERT_FALSE(c.tool_output.empty());
      EXPECT_TRUE(WriteTextForm(c.form, bytes, named) == c.tool_output);
    }
  }
}

// The C array and the escapes compiled by the C compiler give the bytes back.
TEST(TextFormWriterAgainstTools, CompilerReadsTheCArrayAndTheEscapes) {
  QV_SKIP_WITHOUT("cc");
  TScratchFolder scratch;
  for (const char* picture : {kPictures[0], kPictures[1], kPictures[2]}) {
    const std::string file = Corpus(picture);
    SCOPED_TRACE(picture);
    const std::string bytes = ReadAll(file);
    TTextFormOptions named;
    named.FileName = "photo.jpg";
    scratch.Write("photo.h", WriteTextForm(TTextForm::CArray, bytes, named));
    scratch.Write("escaped.h", "static const char escaped[] = \"" +
                                   WriteTextForm(TTextForm::EscapedHex, bytes) + "\";\n");
    const std::string program = scratch.Write(
        "write.c",
        "#include <stdio.h>\n#include <string.h>\n#include \"photo.h\"\n#include \"escaped.h\"\n"
        "int main(int argc, char** argv) {\n"
        "  if (strcmp(argv[1], \"array\") == 0) fwrite(photo_jpg, 1, photo_jpg_len, stdout);\n"
        "  else fwrite(escaped, 1, sizeof escaped - 1, stdout);\n"
        "  return 0;\n}\n");
    const std::string binary = scratch.Path() + "/write";
    bool built = false;
    Shell("cc -o " + Quoted(binary) + " " + Quoted(program) + " 2>&1", &built);
    ASSERT_TRUE(built);
    EXPECT_TRUE(Shell(Quoted(binary) + " array") == bytes);
    EXPECT_TRUE(Shell(Quoted(binary) + " escapes") == bytes);
  }
}

// SQLite reads the X'' literal; its hex() of it is the strict run.
TEST(TextFormWriterAgainstTools, SqliteReadsTheLiteral) {
  QV_SKIP_WITHOUT("sqlite3");
  TScratchFolder scratch;
  for (const char* picture : kPictures) {
    const std::string file = Corpus(picture);
    SCOPED_TRACE(picture);
    const std::string bytes = ReadAll(file);
    const std::string script = scratch.Write(
        "select.sql", "SELECT hex(" + WriteTextForm(TTextForm::SqlBlob, bytes) + ");\n");
    bool ran = false;
    const std::string out = Shell("sqlite3 :memory: < " + Quoted(script), &ran);
    ASSERT_TRUE(ran);
    EXPECT_TRUE(out == StrictHexRun(bytes) + "\n");
  }
}

// The tools read base64 and data URIs as written here.
TEST(TextFormWriterAgainstTools, ToolsReadTheBase64) {
  for (const char* tool : {"base64", "python3"}) QV_SKIP_WITHOUT(tool);
  TScratchFolder scratch;
  const std::string file = Corpus(kPictures[3]);
  const std::string bytes = ReadAll(file);
  const std::string lines =
      scratch.Write("lines.b64", WriteTextForm(TTextForm::Base64Lines, bytes));
  EXPECT_TRUE(Shell("base64 -d " + Quoted(lines)) == bytes);
  const std::string uri = scratch.Write("uri.txt", WriteTextForm(TTextForm::DataUri, bytes));
  EXPECT_TRUE(Python(scratch,
                     "u = open(sys.argv[1]).read()\n"
                     "sys.stdout.buffer.write(base64.b64decode(u.split(',', 1)[1]))",
                     uri) == bytes);
}

}  // namespace
}  // namespace qv
