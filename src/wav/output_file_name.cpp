#include "wav/wav_writer.h"

namespace quenlow {

std::string OutputFileName(const std::string& inputName, std::string_view suffix) {
  // The last four bytes go, whatever they are: no extension is looked for.
  // A name typed with a multi-byte character among its last four bytes loses
  // part of it; that is the naming rule, kept as it is.
  std::string name = inputName.size() >= 4 ? inputName.substr(0, inputName.size() - 4) : inputName;
  name += suffix;
  return name;
}

}  // namespace quenlow
