// What the job tells the program that runs it, as reasons with their
// figures: each program words them for its own users (the dialogue in its
// message box, quenlow-batch on one line).
#pragma once

#include <string>

#include "dsp/filter_file.h"
#include "wav/output_pair.h"
#include "wav/sample_source.h"
#include "wav/wav_writer.h"

namespace quenlow {

enum class JobNoteKind {
  // The job goes on, and the filtered output holds dither only or is
  // doubtful; `path` names the coefficient file.
  kNoFilterFile,       // none was found where it is looked for
  kFilterUnreadable,   // `path` cannot be read
  kFilterDoubtful,     // `filter` says why
  // The job stops.
  kOutputBlocked,      // the output `path` cannot be replaced: `refusal` says why; nothing was written
  kInputFailed,        // `input` says why
  kNotEnoughMemory,
  kWriteFailed,        // `write` says why (it names the output)
  kOutputsNotPlaced,   // `write` names the output that could not take its name; the old pair stays
};

struct JobNote {
  JobNoteKind kind = JobNoteKind::kNotEnoughMemory;
  std::string path;
  FilterFileCheck filter{};
  OutputRefusal refusal{};
  SourceFailure input{};
  WriteResult write{};
};

}  // namespace quenlow
