// Reads the forms hex comes in from other tools (dumps, C arrays, SQL
// literals, escapes, base64, data URIs) back into bytes, and says what it
// found: the form, the characters that were not data, and the places it
// could not make sense of. The report is data; the window and the command
// line phrase it each in their own way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class THexTextForm : uint8_t {
  None,              // not recognised: see TRecognition::Refusal
  Hex,               // digit pairs in either case; blanks, line breaks, , : ; - between them
  HexList,           // 0x-prefixed items: 0xff, 0xd8, …
  CArray,            // a C array around such a list, as xxd -i writes it
  EscapedHex,        // \x escapes: \xff\xd8…
  XxdDump,           // xxd: address, digit groups in file order, text column
  HexdumpCanonical,  // hexdump -C: address, pairs, |text|
  OdBytes,           // od -t x1 with addresses, and its >text< column (od -A x -t x1z)
  WordDump,          // od -x, hexdump: little-endian words, swapped back
  SqlBlob,           // X'FFD8…' (SQLite, MySQL)
  SqlServerBinary,   // 0xFFD8… as one literal
  PostgresBytea,     // '\xffd8…' or E'\\xffd8…', with or without ::bytea
  PostgresDecode,    // decode('ffd8…', 'hex') or decode('…', 'base64')
  Base64,            // with or without line breaks, either alphabet
  DataUri,           // data:[type];base64,…
};

// Why a text was not read.
enum class THexTextRefusal : uint8_t {
  None,
  Empty,         // nothing but blanks and line breaks
  Unrecognised,  // in none of the forms; RefusedAt says where it went wrong
  NotBase64Uri,  // a data URI whose data is not base64
  TooLarge,      // more bytes than TRecogniseOptions::MaxBytes
  Cancelled,     // the progress callback asked to stop
};

// A place in the text: a 0-based offset in bytes, its 1-based line and column
// (in characters: UTF-8 sequences count once; CR LF, LF and a lone CR each end
// a line), and the character there.
struct THexTextPlace {
  int64_t Offset = 0;
  int64_t Line = 0;
  int64_t Column = 0;
  char32_t Character = 0;  // U+FFFD for a byte that starts no valid UTF-8 sequence
};

enum class THexTextIssueKind : uint8_t {
  StrayCharacter,  // neither data nor part of the form; skipped
  LoneDigit,       // a hex digit (or base64 symbol) without its partner; skipped
  CutGroup,        // a dump's word cut short; its digits skipped
  ValueTooLarge,   // a C array's decimal value over 255; skipped
  RepeatUnknown,   // a dump's '*' repeat whose length no address tells; bytes missing
  AddressGap,      // a dump's addresses skip bytes (lines missing); Count bytes missing
  AddressBack,     // a dump's line starts before the previous one ended; read as it stands
  LengthMismatch,  // the stated length (C array's _len, a dump's end) is not what was read
  OtherData,       // more data after the literal or array that was read; not read
};

struct THexTextIssue {
  THexTextIssueKind Kind = THexTextIssueKind::StrayCharacter;
  THexTextPlace Place;
  int64_t Count = 0;  // AddressGap: bytes missing; LengthMismatch: the length stated
};

struct TRecognition {
  THexTextForm Form = THexTextForm::None;
  THexTextRefusal Refusal = THexTextRefusal::None;
  THexTextPlace RefusedAt;            // Unrecognised: the first character that fits no form
  std::string Bytes;                  // what the text stands for (empty when refused)
  int64_t Characters = 0;             // characters in the text
  int64_t Removed = 0;                // characters that were not data: marks, separators,
                                      // addresses, text columns, comments, and the unplaced
  int64_t Unplaced = 0;               // of those, the ones the issues name (strays, lone digits)
  bool Swapped = false;               // little-endian words were swapped back to file order
  bool Lossy = false;                 // bytes are known to be missing or unknown
  std::vector<THexTextIssue> Issues;  // the first kMaxHexTextIssues, in text order
  int64_t IssueCount = 0;             // all of them

  bool Recognised() const { return Form != THexTextForm::None; }
};

inline constexpr size_t kMaxHexTextIssues = 100;

struct TRecogniseOptions {
  // More bytes than this refuses the text (a dump's repeat lines can claim any length).
  int64_t MaxBytes = (int64_t{1} << 30) - 1;
  // Called about every 4 MB of text with the characters read so far and the
  // text's length; returning false cancels (Refusal Cancelled).
  std::function<bool(int64_t done, int64_t total)> Progress;
};

// Recognises the form of `text` and reads it. Keeps no state between calls,
// so any number of threads may call it at once.
//
// How a form is chosen, from the first 64 KB after leading white space:
// "data:" starts a data URI; lines with addresses that agree with the bytes
// they hold are a dump; otherwise the first mark decides (0x items, \x
// escapes, X'…', '\x…', decode('…'); a '{' after "[…]" or before the first
// item makes a C array); a text without marks is base64 or plain hex by its
// characters. The rules for what is doubtful:
// - Plain hex: digits pair up in order across blanks, line breaks and , : ; -
//   (as xxd -r -p reads them); an odd last digit is left out (LoneDigit); a
//   '*' alone on a line (od without addresses) is RepeatUnknown and the text
//   Lossy; anything else is a StrayCharacter run, skipped. A text of hex
//   digits alone is hex even when it is valid base64 ("DEADBEEF", "AAAA").
// - Base64: more than one symbol in eight a letter outside hex, '+' or '/',
//   no blanks inside lines; or '=' padding at the end ("AA=="); or a JPEG's
//   "/9j/" first, as "FFD8" first makes hex. Base64 made mostly of hex
//   letters (a few bytes, or runs of zero bytes: "AAAA") is read as hex.
// - Lists and C arrays: an item of more than two digits gives its digits'
//   bytes in written order (0x12345 gives 01 23 45); one long 0x item alone
//   in the text is SQL Server's literal. In a C array, comments and the text
//   outside the braces are removed, decimal and octal values read as C reads
//   them, values over 255 skipped (ValueTooLarge), NAME_len checked
//   (LengthMismatch; Lossy when it states more), a second array not read.
// - Escapes: \x takes one or two digits; quotes, white space and a b'…'
//   prefix are removed.
// - SQL: the first literal is read and the statement around it removed; a
//   second literal is reported (OtherData), not read. decode()'s second
//   argument chooses hex or base64.
// - Dumps: the text columns are removed; a '*' repeat is written out up to
//   the next address; addresses that skip bytes give AddressGap (the missing
//   bytes are not made up) and a repeat that no address ends RepeatUnknown,
//   both Lossy; a cut last line gives the bytes it shows; lines before the
//   dump (a command line) are strays, and a second dump after the first
//   one's end address is not read. The 16-bit words of od -x and hexdump are
//   little-endian and swapped back (Swapped), the end address dropping the
//   last word's padding; od -An -x has no addresses and is recognised only by
//   a JPEG's swapped start ("d8ff"), keeping a padding byte after an odd
//   length. xxd -e's groups are read as written.
TRecognition RecogniseHexText(std::string_view text, const TRecogniseOptions& options = {});

// The strict run of upper-case pairs for `bytes`, as the text box holds it.
std::string StrictHexRun(std::string_view bytes);

}  // namespace qv
