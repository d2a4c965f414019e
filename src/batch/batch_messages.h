// quenlow-batch's words for the reasons the lower libraries give: one line
// each, the dialogue's sentences where the dialogue has one.
#pragma once

#include <string>

#include "job/job_note.h"
#include "wav/recording_format.h"
#include "wav/sample_source.h"

namespace quenlow {

// Why a WAV file is not taken.
std::string BatchText(WavRejection rejection);
// Why a decoded file is not taken: the rule it breaks, and libsndfile's
// figure for it ("Signed 24 bit PCM", "1 channels", "96000 Hz").
std::string BatchText(WavRejection rejection, const std::string& figure);
// Why an input stopped giving samples.
std::string BatchText(const SourceFailure& failure);
// What the job tells of a file.
std::string BatchText(const JobNote& note);

}  // namespace quenlow
