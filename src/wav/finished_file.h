// A small file the user asked for (a coefficient file, a picture), written
// the way the job writes its outputs: complete and on disk under no name of
// its own, then given its name in one step. A failure at any point leaves
// the old file as it was and no partial or hidden file beside it.
#pragma once

#include <string>

#include "platform/files.h"

namespace quenlow {

// Where writing stopped, with the system's reason; each program words it.
enum class FinishedFileStep {
  None,      // written
  Link,      // a symbolic link that cannot be followed
  Folder,    // the name is a folder's
  ReadOnly,  // the file there may not be replaced by this user
  Create,
  Write,
  Flush,
  Name,
};

struct FinishedFileResult {
  FinishedFileStep step = FinishedFileStep::None;
  platform::SystemError error = 0;
  std::string path;  // where the bytes went (or were to go): the link's target for a link

  bool Ok() const { return step == FinishedFileStep::None; }
};

// Writes `bytes` as the file `name`. A symbolic link is kept and its target
// written; a file replaced keeps its permission bits.
FinishedFileResult WriteFinishedFile(const std::string& name, const std::string& bytes);

// "cannot write NAME: REASON", in the words of the file layer.
std::string FinishedFileFailureText(const std::string& name, const FinishedFileResult& result);

}  // namespace quenlow
