// A recording checked through a file that stays open for the job: the job
// then reads the very file whose header passed, whatever is renamed over its
// name meanwhile, and its state at the check (size, times, identity) is what
// tells the job that the file has changed since.
#pragma once

#include <string>

#include "platform/files.h"
#include "wav/wav_reader.h"

namespace quenlow {

// An open input file and its state when it was checked; closes it when it
// goes. Moves, never copies.
class HeldFile {
 public:
  HeldFile() = default;
  HeldFile(platform::FileHandle file, const platform::FileState& state) : file_(file), state_(state) {}
  ~HeldFile();
  HeldFile(HeldFile&& other) noexcept;
  HeldFile& operator=(HeldFile&& other) noexcept;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  platform::FileHandle Handle() const { return file_; }
  const platform::FileState& State() const { return state_; }
  // Gives the file to the caller, who closes it.
  platform::FileHandle Release();

 private:
  platform::FileHandle file_ = platform::kNoFile;
  platform::FileState state_;
};

struct CheckedRecording {
  WavHeaderResult header;
  HeldFile file;  // open while the header passed
};

// Opens the named file, takes its state, reads and checks its header. An
// accepted recording comes with its file still open; a rejected one with
// the file closed, and the first check it failed.
CheckedRecording CheckRecording(const std::string& fileName);

}  // namespace quenlow
