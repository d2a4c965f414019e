// The command line of quenlow-listen.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "listen/sources.h"

namespace quenlow::listen {

struct ListenOptions {
  std::string recording;
  std::string filterFile;           // empty: the same lookup as the dialogue's
  std::string device;               // empty: the system's default device
  bool listDevices = false;
  std::optional<double> from;       // seconds
  std::optional<double> to;
  std::optional<Source> play;       // play this source once, without the screen
  std::optional<Source> abxA;       // a blind test of these two
  std::optional<Source> abxB;
  int trials = 16;
  std::string log;                  // the blind test's log; empty: a name of its own
  bool anyRate = false;             // a device that cannot play the outputs' rate plays resampled
};

// The options, or the status to end with at once: 0 after --help or
// --version, 2 for a usage error (already explained on stderr).
std::variant<ListenOptions, int> ParseListenOptions(int argc, char** argv);

}  // namespace quenlow::listen
