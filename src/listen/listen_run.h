// quenlow-listen's work: open the recording, the coefficient file and the
// device, then play once (--play), or run the screen for listening or for a
// blind test.
#pragma once

#include <string>

#include "listen/audio_device.h"
#include "listen/listen_options.h"

namespace quenlow::listen {

// Exit statuses: 0 done, 1 the recording or the device failed, 2 a usage
// error or no coefficient file, 3 the device cannot play the outputs' rate.
int RunListen(const ListenOptions& options);

// What a device does to the samples, in the listener's words.
std::string PathWords(DevicePath path);

// The message for a device that cannot take the outputs' rate (or their 24
// bits at that rate).
std::string RateMessage(const std::string& device, std::int32_t rate, std::int32_t bestRate);

}  // namespace quenlow::listen
