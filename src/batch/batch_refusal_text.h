// quenlow-batch's words for an output refused before any work: one line of
// its report, naming the option that leads the outputs elsewhere.
#pragma once

#include <string>

#include "wav/output_pair.h"

namespace quenlow {

std::string BatchRefusalText(const OutputRefusal& refusal);

}  // namespace quenlow
