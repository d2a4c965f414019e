#include "app/command_line.h"

#include <string>
#include <string_view>

#include "platform/system_facts.h"
#include "version.h"

namespace quenlow {

namespace {

constexpr const char* kUsage =
    "Usage: quenlow\n"
    "Asks in the terminal for a 16-bit stereo WAV file at 44100 or 48000 Hz and writes beside it\n"
    "what a converter without oversampling and without a reconstruction filter makes of it:\n"
    "\"NAME QLW unfiltered.wav\" and \"NAME QLW filtered.wav\", 24-bit at four times the rate.\n"
    "Type the file's name at the prompt; for files named on the command line, use quenlow-batch.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Exit status: 0 when both files were written, 1 when they could not be, 2 without a usable\n"
    "terminal or for an argument other than these.\n";

// An argument as it may be shown on a terminal: a control character in it
// (an escape sequence, a line end) is shown as '?', so the refusal stays one
// harmless line.
std::string Shown(std::string_view argument) {
  std::string shown;
  for (const char c : argument) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7f ? '?' : c;
  }
  return shown;
}

bool IsOption(std::string_view argument) { return argument.size() > 1 && argument[0] == '-'; }

}  // namespace

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  if (argc < 2) return std::nullopt;
  // The questions are answered wherever they stand, as other commands do;
  // "--" ends the options, and what follows is taken as a name.
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, out);
      std::fprintf(out, "Documentation: %s\n", platform::InstalledDocumentation());
      return 0;
    }
    if (argument == "--version" || argument == "-V") {
      std::fprintf(out, "quenlow %s\n", kVersion);
      return 0;
    }
  }
  int first = 1;
  if (std::string_view(argv[1]) == "--") {
    if (argc == 2) return std::nullopt;  // "quenlow --" names nothing
    first = 2;
  }
  const std::string_view argument = argv[first];
  if (first == 1 && IsOption(argument)) {
    std::fprintf(err, "quenlow: unknown option '%s' (quenlow --help lists the options)\n", Shown(argument).c_str());
  } else {
    // One line that fits the terminal for a name of common length.
    std::fprintf(err, "quenlow: '%s': type the name at the prompt, or use quenlow-batch FILE\n",
                 Shown(argument).c_str());
  }
  return 2;
}

}  // namespace quenlow
