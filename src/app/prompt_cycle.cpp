#include "app/prompt_cycle.h"

#include <cstdio>
#include <utility>

#include "app/after_input_check.h"
#include "app/dialogue_messages.h"
#include "app/job_run.h"
#include "console/screens.h"
#include "platform/files.h"
#include "wav/checked_recording.h"
#include "wav/wav_reader.h"

namespace quenlow {
namespace {

constexpr const char* kNotFound = "            File not found.\\n Please enter a valid filename  ";

// Restores the terminal however the cycle is left.
struct TerminalGuard {
  ~TerminalGuard() { console::RestoreTerminal(); }
};

}  // namespace

bool FileExists(const std::string& name) { return platform::FileOpens(name); }

std::string NameToOpen(const std::string& typed) {
  if (FileExists(typed)) return typed;
  const bool quoted = typed.size() > 2 && typed.front() == '"' && typed.back() == '"' &&
                      typed.find('"', 1) == typed.size() - 1;
  if (!quoted) return typed;
  const std::string inside = typed.substr(1, typed.size() - 2);
  return FileExists(inside) ? inside : typed;
}

int RunPromptCycle() {
  std::string error;
  if (!console::SetUpWindow(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  TerminalGuard guard;
  for (;;) {
    console::DrawStartScreen();
    const std::string name = NameToOpen(console::PromptFileName());
    if (!FileExists(name)) {
      console::ShowError(kNotFound);
      continue;
    }
    // The job reads the file checked here, through the same open file.
    CheckedRecording checked = CheckRecording(name);
    if (!checked.header.info) {
      console::ShowError(DialogueText(checked.header.rejection));
      continue;
    }
    const WavFormatInfo info = *checked.header.info;
    const std::int64_t frameCount = SampleFrameCount(info);
    console::ShowFileData(info.channelCount, info.sampleRate, frameCount,
                          DurationSeconds(info, frameCount));
    AfterInputCheck();
    return RunJob(name, std::move(checked.file), info, frameCount);
  }
}

}  // namespace quenlow
