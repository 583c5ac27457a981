// Bytes to the text forms people paste elsewhere: hex in several layouts, a
// C array as xxd -i writes it, SQL literals, base64 and a data URI. Every form
// written here reads back to the same bytes through RecogniseHexText.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qv {

enum class TTextForm : uint8_t {
  HexUpper,         // FFD8FFE0…: the strict run, as the text box shows it
  HexLower,         // ffd8ffe0…
  HexPairs16,       // "FF D8 FF E0 …", 16 pairs a line, each line ended by a line break
  HexPairs32,       // the same with 32 pairs a line
  HexList,          // "  0xff, 0xd8, …": 12 a line, as xxd -i writes standard input
  EscapedHex,       // \xff\xd8…
  CArray,           // xxd -i: unsigned char NAME[] = {…}; unsigned int NAME_len = N;
  SqlBlob,          // X'FFD8…' (SQLite, MySQL)
  SqlServerBinary,  // 0xFFD8…
  PostgresBytea,    // '\xffd8…'::bytea
  Base64,           // one line, as base64 -w0 writes it
  Base64Lines,      // 76-column lines, as base64 writes them
  DataUri,          // data:image/jpeg;base64,…
};

inline constexpr TTextForm kAllTextForms[] = {
    TTextForm::HexUpper,      TTextForm::HexLower, TTextForm::HexPairs16,
    TTextForm::HexPairs32,    TTextForm::HexList,  TTextForm::EscapedHex,
    TTextForm::CArray,        TTextForm::SqlBlob,  TTextForm::SqlServerBinary,
    TTextForm::PostgresBytea, TTextForm::Base64,   TTextForm::Base64Lines,
    TTextForm::DataUri};

// What a caller needs besides the form: a stable key (command-line option,
// settings), and the file name extension a saved text of this form gets.
struct TTextFormInfo {
  TTextForm Form;
  const char* Key;        // "hex", "c-array", "base64", …
  const char* Extension;  // "txt", "h", "sql", "b64"
};
const TTextFormInfo& TextFormInfo(TTextForm form);
// The form with this key; false when there is none.
bool TextFormByKey(std::string_view key, TTextForm& form);

struct TTextFormOptions {
  // CArray: the file name the array is named after, by xxd's rule
  // (CArrayName). Empty: only the list of values, as xxd -i writes standard input.
  std::string FileName;
  // DataUri: the media type.
  std::string MediaType = "image/jpeg";
};

// xxd's name for a file's array: every byte that is not an ASCII letter or
// digit becomes '_', and a name that starts with a digit gets "__" in front.
std::string CArrayName(std::string_view file_name);

// The exact length of the text for `count` bytes.
int64_t TextFormLength(TTextForm form, int64_t count, const TTextFormOptions& options = {});

// The whole text at once, in one allocation. Fails with EOutOfMemory "Out of
// memory" when the text cannot be held.
std::string WriteTextForm(TTextForm form, std::string_view bytes,
                          const TTextFormOptions& options = {});

// The same text in pieces of about a megabyte, for a large save on a worker.
// `sink` takes each piece in order and returns false to stop (a failed write);
// `progress`, when set, hears the bytes done after each piece and returns false
// to cancel. Nothing more is written after either stops.
enum class TWriteOutcome { Done, Stopped, Cancelled };
using TTextSink = std::function<bool(std::string_view piece)>;
using TProgressCallback = std::function<bool(int64_t done, int64_t total)>;
TWriteOutcome WriteTextFormTo(TTextForm form, std::string_view bytes,
                              const TTextFormOptions& options, const TTextSink& sink,
                              const TProgressCallback& progress = {});

}  // namespace qv
