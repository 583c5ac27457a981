// Readers of line dumps: xxd, hexdump -C, od's byte dumps, and the
// little-endian word dumps of od -x and hexdump. Addresses are checked
// against the bytes read, '*' repeats are written out again from them, and
// the text columns are left out.
#pragma once

#include "conversion/text_forms/text_reader.h"

namespace qv::text_forms {

enum class TTextColumn : uint8_t {
  None,
  Bar,        // hexdump -C: |…|
  Angle,      // od -t x1z: >…<
  TwoBlanks,  // xxd: after the first two blanks in a row
};

struct TDumpLayout {
  THexTextForm Form = THexTextForm::None;  // None: not a dump
  bool Addresses = true;
  int Radix = 16;             // of the addresses
  bool AddressColon = false;  // xxd: "00000010:"
  int GroupDigits = 2;        // 4 or 8: little-endian words, read backwards
  bool InOrder = false;       // xxd: groups of any size in file order
  TTextColumn Column = TTextColumn::None;
};

// The layout of the dump whose first line starts at `from`: the first lines
// must agree on it, and their addresses with the bytes they hold.
TDumpLayout DetectDump(const char* from, const char* end);

void ReadDump(TTextReader& reader, const char* from, const TDumpLayout& layout);

}  // namespace qv::text_forms
