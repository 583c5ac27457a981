// The command line of quorvane-hex: a command, its files and its options.
#pragma once

#include <string>
#include <vector>

namespace qv {

enum class TCommand { None, Help, Version, ToHex, ToJPEG, Check, Normalize };

struct TCommandLine {
  TCommand Command = TCommand::None;
  std::vector<std::string> Inputs;
  std::string Output;     // -o; "-" is standard output
  std::string Directory;  // -d
  std::string Format;     // to-hex --format: a text form's key; empty: the strict run
  std::string Name;       // to-hex --name: the C array's name, instead of the file's
  bool Lenient = false;   // to-jpeg --lenient: any text form the recogniser reads
  std::string Error;      // a usage error; the other fields are then partial
};

// Options may stand before or after the files; "--" ends the options, and a
// lone "-" is a file name (standard input or output). --help and --version
// win over everything else.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsageText;

}  // namespace qv
