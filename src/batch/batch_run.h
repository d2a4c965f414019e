// The batch: each input in turn through the dialogue's job, reported as it
// goes and summed up at the end.
#pragma once

#include "batch/batch_options.h"

namespace quenlow {

// Returns the exit status: 0 when every file was done or skipped, 1 when any
// was rejected or failed (or none was found), 2 when no coefficient file can
// be had and the options ask for one.
int RunBatch(const BatchOptions& options);

// For a stop request (Ctrl+C, a termination request), on the thread that
// watches for them, once the unfinished outputs are removed: ends the
// progress line and says what was done and how to go on.
void StopBatch();

}  // namespace quenlow
