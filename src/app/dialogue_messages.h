// The dialogue's words for the reasons the lower libraries give: each text as
// its message box shows it, with the blanks that place it in the box.
#pragma once

#include <string>

#include "job/job_note.h"
#include "wav/recording_format.h"

namespace quenlow {

// Why a typed file is not taken.
std::string DialogueText(WavRejection rejection);
// What the job tells the user.
std::string DialogueText(const JobNote& note);

}  // namespace quenlow
