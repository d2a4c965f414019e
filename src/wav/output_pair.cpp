#include "wav/output_pair.h"

#include <set>

#include "wav/unfinished_outputs.h"

namespace quenlow {
namespace {

constexpr std::size_t kRandomPartLength = 6;

OutputRefusalReason ReasonOf(platform::Replaceable verdict) {
  switch (verdict) {
    case platform::Replaceable::Yes:
      return OutputRefusalReason::None;
    case platform::Replaceable::Protected:
      return OutputRefusalReason::WriteProtected;
    case platform::Replaceable::Folder:
      return OutputRefusalReason::IsFolder;
    case platform::Replaceable::NotAFile:
      return OutputRefusalReason::NotAFile;
    case platform::Replaceable::FolderNotWritable:
      return OutputRefusalReason::FolderNotWritable;
    case platform::Replaceable::ReadOnlyFileSystem:
      return OutputRefusalReason::ReadOnlyFileSystem;
    case platform::Replaceable::OthersInSharedFolder:
      return OutputRefusalReason::OthersInSharedFolder;
    case platform::Replaceable::Unknown:
      return OutputRefusalReason::Unknown;
  }
  return OutputRefusalReason::Unknown;
}

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

OutputRefusal CheckOutputsReplaceable(const std::vector<std::string>& names,
                                      const std::optional<platform::FileIdentity>& input) {
  for (const std::string& name : names) {
    // Replacing the recording's own name (or a link to it) would lose it.
    if (input && platform::IdentityOfName(name) == input) {
      return {OutputRefusalReason::IsTheInput, name, 0};
    }
    const platform::ReplaceCheck check = platform::CheckReplaceable(name);
    if (const OutputRefusalReason reason = ReasonOf(check.verdict); reason != OutputRefusalReason::None) {
      return {reason, name, check.error};
    }
  }
  return {};
}

// ".<output name>.XXXXXX": see TemporaryPattern in unfinished_outputs.cpp.
bool IsHiddenOutputName(const std::string& fileName) {
  if (fileName.size() < 2 + kRandomPartLength || fileName[0] != '.') return false;
  const std::size_t dot = fileName.size() - kRandomPartLength - 1;
  if (fileName[dot] != '.') return false;
  for (std::size_t i = dot + 1; i < fileName.size(); ++i) {
    const char c = fileName[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  const std::string named = fileName.substr(1, dot - 1);
  return EndsWith(named, kUnfilteredSuffix) || EndsWith(named, kFilteredSuffix);
}

void RemoveAbandonedOutputs(const std::vector<std::string>& names) {
  std::set<std::string> folders;
  for (const std::string& name : names) folders.insert(platform::FolderOfPath(name));
  for (const std::string& folder : folders) platform::RemoveUnheldFiles(folder, IsHiddenOutputName);
}

PairPlacement PutOutputsInPlace(const std::vector<OutputWavWriter*>& writers) {
  std::vector<int> slots;
  std::vector<std::string> names;
  for (OutputWavWriter* writer : writers) {
    slots.push_back(writer->UnfinishedSlot());
    names.push_back(writer->FinalName());
  }
  if (const std::optional<PlacementFailure> failure = PutUnfinishedOutputsInPlace(slots, names)) {
    return {false, names[failure->index], failure->error};
  }
  for (OutputWavWriter* writer : writers) writer->MarkPlaced();
  return {};
}

}  // namespace quenlow
