#include "app/output_refusal_text.h"

#include "platform/files.h"

namespace quenlow {
namespace {

// The dialogue cannot choose another folder: the outputs always go beside
// the recording.
constexpr const char* kWayOut = ". Copy the recording to a folder you can write to, or use quenlow-batch -o DIR";

}  // namespace

std::string DialogueRefusalText(const OutputRefusal& refusal) {
  const std::string& name = refusal.name;
  std::string text;
  switch (refusal.reason) {
    case OutputRefusalReason::None:
      return {};
    case OutputRefusalReason::WriteProtected:
      text = name + " is write-protected: nothing was written";
      break;
    case OutputRefusalReason::IsFolder:
      text = name + " is a folder: nothing was written";
      break;
    case OutputRefusalReason::NotAFile:
      text = name + " is not a file: nothing was written";
      break;
    case OutputRefusalReason::FolderNotWritable:
      text = "No permission to write in this folder (" + name + "): nothing was written" + kWayOut;
      break;
    case OutputRefusalReason::ReadOnlyFileSystem:
      text = "This folder is on a read-only file system (" + name + "): nothing was written" + kWayOut;
      break;
    case OutputRefusalReason::OthersInSharedFolder:
      text = name + " belongs to another user in a shared folder: nothing was written";
      break;
    case OutputRefusalReason::IsTheInput:
      text = name + " is the recording itself: nothing was written";
      break;
    case OutputRefusalReason::Unknown:
      text = "Could not write " + name + ": " + platform::ErrorText(refusal.error) + ": nothing was written";
      break;
  }
  return " " + text + "  ";
}

}  // namespace quenlow
