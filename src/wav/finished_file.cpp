#include "wav/finished_file.h"

#include "wav/unfinished_outputs.h"

namespace quenlow {

FinishedFileResult WriteFinishedFile(const std::string& name, const std::string& bytes) {
  const platform::LinkTarget target = platform::FollowLinks(name);
  FinishedFileResult result{FinishedFileStep::None, 0, target.path};
  auto fail = [&](FinishedFileStep step, platform::SystemError error) {
    result.step = step;
    result.error = error;
    return result;
  };
  if (target.error != 0) return fail(FinishedFileStep::Link, target.error);
  // Checked first, as the dialogue checks its outputs: renaming over a
  // read-only file would succeed where writing it may not.
  const platform::ReplaceCheck check = platform::CheckReplaceable(target.path);
  if (check.verdict == platform::Replaceable::Folder) return fail(FinishedFileStep::Folder, check.error);
  if (check.verdict == platform::Replaceable::Protected) return fail(FinishedFileStep::ReadOnly, check.error);

  const UnfinishedOutput output = CreateUnfinishedOutput(target.path);
  if (output.file == platform::kNoFile) return fail(FinishedFileStep::Create, output.error);
  if (const platform::SystemError error =
          platform::WriteAll(output.file, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      error != 0) {
    DiscardUnfinishedOutput(output.slot);
    return fail(FinishedFileStep::Write, error);
  }
  if (const platform::SystemError error = platform::FlushToDisk(output.file); error != 0) {
    DiscardUnfinishedOutput(output.slot);
    return fail(FinishedFileStep::Flush, error);
  }
  if (const platform::SystemError error = PutUnfinishedOutputInPlace(output.slot, target.path); error != 0) {
    DiscardUnfinishedOutput(output.slot);
    return fail(FinishedFileStep::Name, error);
  }
  return result;
}

std::string FinishedFileFailureText(const std::string& name, const FinishedFileResult& result) {
  const std::string reason = platform::ErrorText(result.error);
  const std::string where = result.path == name ? name : name + " (a link to " + result.path + ")";
  switch (result.step) {
    case FinishedFileStep::None: return {};
    case FinishedFileStep::Link: return "cannot follow the link " + name + ": " + reason;
    case FinishedFileStep::Folder: return "cannot write " + where + ": it is a folder";
    case FinishedFileStep::ReadOnly: return "cannot write " + where + ": the file is read-only (" + reason + ")";
    case FinishedFileStep::Create: return "cannot write " + where + ": " + reason;
    case FinishedFileStep::Write: return "cannot write " + where + ": " + reason + "; the old file is as it was";
    case FinishedFileStep::Flush:
      return "cannot write " + where + ": putting it on disk failed: " + reason + "; the old file is as it was";
    case FinishedFileStep::Name: return "cannot name " + where + ": " + reason + "; the old file is as it was";
  }
  return {};
}

}  // namespace quenlow
