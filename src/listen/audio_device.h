// The sound device: PortAudio, and through it ALSA (and the sound servers
// behind ALSA's plugins) and JACK. audio_device.cpp is the only file that
// speaks PortAudio.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quenlow::listen {

// What happens to the samples on their way through a device.
enum class DevicePath {
  kUnchanged,  // an ALSA hardware device: the samples reach the converter as they are
  kServer,     // a sound server or an ALSA plugin: it may resample, mix or change the volume
  kJack,       // JACK: the samples pass at the server's own rate
};

struct DeviceListing {
  int index = 0;
  std::string name;
  std::string hostApi;
  DevicePath path = DevicePath::kServer;
  bool isDefault = false;
};

// A device opened for playing: packed 24-bit stereo frames, 6 bytes a frame.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Hands the frames to the device, waiting while its buffer is full. False
  // when the device has failed.
  virtual bool Write(const std::uint8_t* frames, std::int64_t count) = 0;
  // Lets what was written play out, then closes the device.
  virtual void Finish() = 0;
  // How long a frame written now takes to be heard, in seconds.
  virtual double LatencySeconds() const = 0;
};

// Why a device could not be had, and the figures to say it with.
struct DeviceProblem {
  enum class Kind { kNone, kNoSoundSystem, kNoSuchDevice, kAmbiguousName, kRateUnsupported, kOpenFailed };
  Kind kind = Kind::kNone;
  std::string deviceName;           // the device meant
  std::int32_t bestRate = 0;        // kRateUnsupported: the highest usual rate it offers, or 0
  std::string detail;               // the sound system's own words, or the names that matched
};

// The sound system, open while the object lives.
class AudioSystem {
 public:
  // The system, or nothing with the problem said.
  static std::unique_ptr<AudioSystem> Open(DeviceProblem& problem);
  virtual ~AudioSystem() = default;

  virtual std::vector<DeviceListing> OutputDevices() = 0;
  // The device of that name (or the one whose name holds it, when only one
  // does); an empty name is the system's default device.
  virtual std::optional<DeviceListing> FindDevice(const std::string& name, DeviceProblem& problem) = 0;
  // Opens the device for 2 channels of 24 bits at `rate`, or says why not.
  // With `sixteenBitsWillDo` a device that takes 16 bits alone is taken too
  // (the samples then lose their low byte): for listening at a lower rate,
  // where exactness is gone anyway.
  virtual std::unique_ptr<AudioOutput> OpenOutput(const DeviceListing& device, std::int32_t rate,
                                                  DeviceProblem& problem, bool sixteenBitsWillDo = false) = 0;
};

// For tests and the benchmark: an output that keeps what it is given, at
// the pace it is given.
class MemoryOutput : public AudioOutput {
 public:
  bool Write(const std::uint8_t* frames, std::int64_t count) override {
    bytes.insert(bytes.end(), frames, frames + count * 6);
    return true;
  }
  void Finish() override { finished = true; }
  double LatencySeconds() const override { return 0.0; }
  std::vector<std::uint8_t> bytes;
  bool finished = false;
};

}  // namespace quenlow::listen
