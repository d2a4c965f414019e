// The dialogue's words for an output refused before any work.
#pragma once

#include <string>

#include "wav/output_pair.h"

namespace quenlow {

// The message box's text: the reason, "nothing was written", and where the
// folder itself is the obstacle, what the user can do instead.
std::string DialogueRefusalText(const OutputRefusal& refusal);

}  // namespace quenlow
