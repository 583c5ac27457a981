#include "tools/command_line.h"

#include "conversion/text_forms/text_form_writer.h"

namespace qv {

const char* const kUsageText =
    "Usage: quorvane-hex to-hex FILE... [-o OUT | -d DIR] [--format NAME [--name NAME]]\n"
    "       quorvane-hex to-jpeg [TEXTFILE... | -] [-o OUT.jpg | -d DIR] [--lenient]\n"
    "       quorvane-hex normalize [TEXTFILE | -] [-o OUT]\n"
    "       quorvane-hex check FILE...\n"
    "       quorvane-hex --help | --version\n"
    "\n"
    "Turns JPEG pictures into hex text and back, byte for byte, as the Quorvane\n"
    "window does, and reads hex the way other tools write it.\n"
    "\n"
    "Commands:\n"
    "  to-hex     Write each picture's JPEG bytes as upper-case hex digit pairs,\n"
    "             without separators or a final line break, or in the text form\n"
    "             --format names. One file goes to standard output or OUT;\n"
    "             several files go to FILE.hex (or the form's extension) beside\n"
    "             each file, or in DIR with -d.\n"
    "  to-jpeg    Rebuild a JPEG file from hex text (standard input without\n"
    "             TEXTFILE or with -); OUT.jpg is written only when the bytes load\n"
    "             as a JPEG picture, and then replaced completely. Several\n"
    "             TEXTFILEs go to DIR/NAME.jpg with -d (NAME less a .hex or .txt).\n"
    "             With --lenient the text may be in any form 'normalize' reads.\n"
    "  normalize  Recognise the form of a hex text (xxd, hexdump -C and od dumps,\n"
    "             od -x words, 0x lists, C arrays, \\x escapes, SQL literals,\n"
    "             base64, data: URIs, hex with blanks and line breaks) and write\n"
    "             the strict run of upper-case pairs; the form found, the\n"
    "             characters removed and anything doubtful go to standard error.\n"
    "  check      Report a picture's size, width, height, progressive flag and\n"
    "             whether it decodes; for hex text, the form it is in, how many\n"
    "             pairs decode, where and why the strict reading stops, and the\n"
    "             picture the text restores.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT      write to OUT (- is standard output)\n"
    "  -d, --directory DIR   to-hex, to-jpeg: write one file in DIR for each FILE\n"
    "                        (DIR and its parents are made when missing)\n"
    "      --format NAME     to-hex: the text form, one of\n"
    "                        hex, hex-lower, pairs16, pairs32, 0x-list, escaped,\n"
    "                        c-array (as xxd -i), sql (X'...'), sql-server (0x...),\n"
    "                        postgresql ('\\x...'::bytea), base64, base64-lines,\n"
    "                        data-uri\n"
    "      --name NAME       to-hex --format c-array: name the array after NAME\n"
    "                        (as xxd -i names it after a file); default: FILE\n"
    "      --lenient         to-jpeg: read any recognised text form\n"
    "  -h, --help            show this help and exit\n"
    "  -V, --version         show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 a file failed (the others are still done), 2 usage error.\n";

namespace {

bool TakeValue(const std::vector<std::string>& arguments, size_t& i, const std::string& name,
               std::string& value, std::string& error) {
  const std::string& argument = arguments[i];
  const size_t equals = argument.find('=');
  if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
    value = argument.substr(equals + 1);
  } else if (argument.size() > 2 && argument[0] == '-' && argument[1] != '-') {
    value = argument.substr(2);  // -oOUT
  } else if (i + 1 < arguments.size()) {
    value = arguments[++i];
  } else {
    error = "option " + name + " needs a value";
    return false;
  }
  if (value.empty()) {
    error = "option " + name + " needs a value";
    return false;
  }
  return true;
}

bool IsOption(const std::string& argument, const char* short_name, const char* long_name) {
  const std::string long_text = long_name;
  return argument.rfind(short_name, 0) == 0 || argument == long_text ||
         argument.rfind(long_text + "=", 0) == 0;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine line;
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "-h" || argument == "--help") {
      line.Command = TCommand::Help;
      return line;
    }
    if (argument == "-V" || argument == "--version") {
      line.Command = TCommand::Version;
      return line;
    }
  }
  if (arguments.empty()) {
    line.Error = "no command given";
    return line;
  }
  const std::string& name = arguments[0];
  if (name == "to-hex") {
    line.Command = TCommand::ToHex;
  } else if (name == "to-jpeg") {
    line.Command = TCommand::ToJPEG;
  } else if (name == "check") {
    line.Command = TCommand::Check;
  } else if (name == "normalize") {
    line.Command = TCommand::Normalize;
  } else {
    line.Error = "unknown command '" + name + "'";
    return line;
  }

  bool options_ended = false;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || argument == "-" || argument.empty() || argument[0] != '-') {
      line.Inputs.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (IsOption(argument, "-o", "--output")) {
      if (!line.Output.empty()) {
        line.Error = "option -o given twice";
        return line;
      }
      if (!TakeValue(arguments, i, "-o", line.Output, line.Error)) return line;
    } else if (IsOption(argument, "-d", "--directory")) {
      if (!line.Directory.empty()) {
        line.Error = "option -d given twice";
        return line;
      }
      if (!TakeValue(arguments, i, "-d", line.Directory, line.Error)) return line;
    } else if (argument == "--format" || argument.rfind("--format=", 0) == 0) {
      if (!line.Format.empty()) {
        line.Error = "option --format given twice";
        return line;
      }
      if (!TakeValue(arguments, i, "--format", line.Format, line.Error)) return line;
      TTextForm form;
      if (!TextFormByKey(line.Format, form)) {
        line.Error = "unknown text form '" + line.Format + "' (see --help)";
        return line;
      }
    } else if (argument == "--name" || argument.rfind("--name=", 0) == 0) {
      if (!line.Name.empty()) {
        line.Error = "option --name given twice";
        return line;
      }
      if (!TakeValue(arguments, i, "--name", line.Name, line.Error)) return line;
    } else if (argument == "--lenient") {
      line.Lenient = true;
    } else {
      line.Error = "unknown option '" + argument + "'";
      return line;
    }
  }

  switch (line.Command) {
    case TCommand::ToHex:
      if (line.Inputs.empty()) {
        line.Error = "to-hex needs at least one FILE";
      } else if (!line.Output.empty() && !line.Directory.empty()) {
        line.Error = "to-hex takes -o or -d, not both";
      } else if (!line.Output.empty() && line.Inputs.size() > 1) {
        line.Error = "-o takes one FILE; use -d DIR for several";
      } else if (line.Lenient) {
        line.Error = "--lenient is for to-jpeg";
      } else if (!line.Name.empty() && line.Format != "c-array") {
        line.Error = "--name goes with --format c-array";
      }
      break;
    case TCommand::ToJPEG:
      if (!line.Output.empty() && !line.Directory.empty()) {
        line.Error = "to-jpeg takes -o or -d, not both";
      } else if (line.Output.empty() && line.Directory.empty()) {
        line.Error = "to-jpeg needs -o OUT.jpg";
      } else if (!line.Output.empty() && line.Inputs.size() > 1) {
        line.Error = "-o takes one TEXTFILE; use -d DIR for several";
      } else if (!line.Format.empty() || !line.Name.empty()) {
        line.Error = "--format and --name are for to-hex";
      }
      break;
    case TCommand::Normalize:
      if (line.Inputs.size() > 1) {
        line.Error = "normalize takes one TEXTFILE";
      } else if (!line.Directory.empty()) {
        line.Error = "normalize does not take -d";
      } else if (!line.Format.empty() || !line.Name.empty() || line.Lenient) {
        line.Error = "normalize takes only -o";
      }
      break;
    case TCommand::Check:
      if (line.Inputs.empty()) {
        line.Error = "check needs at least one FILE";
      } else if (!line.Output.empty() || !line.Directory.empty()) {
        line.Error = "check takes no -o or -d";
      } else if (!line.Format.empty() || !line.Name.empty() || line.Lenient) {
        line.Error = "check takes no options";
      }
      break;
    default:
      break;
  }
  return line;
}

}  // namespace qv
