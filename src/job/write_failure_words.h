// The words for why an output could not be written, the same in every
// program that reports it: each program frames them in its own message.
#pragma once

#include <string>

#include "wav/write_result.h"

namespace quenlow {

// "Could not write <name>: <why>", without padding or line end.
std::string CouldNotWrite(const WriteResult& result);

}  // namespace quenlow
