#include "batch/batch_refusal_text.h"

#include "platform/files.h"

namespace quenlow {

std::string BatchRefusalText(const OutputRefusal& refusal) {
  const std::string& name = refusal.name;
  constexpr const char* kNothing = ": nothing was written";
  constexpr const char* kElsewhere = " (use -o DIR to write the outputs elsewhere)";
  switch (refusal.reason) {
    case OutputRefusalReason::None:
      return {};
    case OutputRefusalReason::WriteProtected:
      return name + " is write-protected" + kNothing;
    case OutputRefusalReason::IsFolder:
      return name + " is a folder" + kNothing;
    case OutputRefusalReason::NotAFile:
      return name + " is not a file" + kNothing;
    case OutputRefusalReason::FolderNotWritable:
      return "no permission to write in the folder of " + name + kNothing + kElsewhere;
    case OutputRefusalReason::ReadOnlyFileSystem:
      return "the folder of " + name + " is on a read-only file system" + kNothing + kElsewhere;
    case OutputRefusalReason::OthersInSharedFolder:
      return name + " belongs to another user in a shared folder" + kNothing;
    case OutputRefusalReason::IsTheInput:
      return name + " is the recording itself" + kNothing;
    case OutputRefusalReason::Unknown:
      return "cannot write " + name + ": " + platform::ErrorText(refusal.error) + kNothing;
  }
  return {};
}

}  // namespace quenlow
