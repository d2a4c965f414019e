#include "listen/audio_device.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <vector>

namespace quenlow::listen {
namespace {

// The rates a device is asked for, highest first, when it cannot take the
// one it should: the first it takes is the one the listener hears of.
constexpr std::array<std::int32_t, 7> kUsualRates = {192000, 176400, 96000, 88200, 48000, 44100, 32000};

// ALSA's and JACK's probing talk on stderr while PortAudio starts (servers
// that are not running, cards that are busy); the listener has no use for
// it, and it would land on the screen.
class QuietStderr {
 public:
  QuietStderr() {
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

DevicePath PathOf(const std::string& name, const PaHostApiInfo* api) {
  if (api && api->type == paJACK) return DevicePath::kJack;
  // PortAudio names ALSA's hardware devices "<card>: <device> (hw:C,D)".
  if (api && api->type == paALSA && (name.find("(hw:") != std::string::npos || name.rfind("hw:", 0) == 0)) {
    return DevicePath::kUnchanged;
  }
  return DevicePath::kServer;
}

PaStreamParameters StereoParameters(int device, PaSampleFormat format) {
  PaStreamParameters parameters{};
  parameters.device = device;
  parameters.channelCount = 2;
  parameters.sampleFormat = format;
  // The device's default for steady playing: the renderer runs well ahead,
  // so this is what a switch waits for on its way to the ear.
  parameters.suggestedLatency = Pa_GetDeviceInfo(device)->defaultHighOutputLatency;
  parameters.hostApiSpecificStreamInfo = nullptr;
  return parameters;
}

class PortAudioOutput : public AudioOutput {
 public:
  PortAudioOutput(PaStream* stream, PaSampleFormat format) : stream_(stream), format_(format) {}
  ~PortAudioOutput() override {
    if (stream_) Pa_CloseStream(stream_);
  }

  bool Write(const std::uint8_t* frames, std::int64_t count) override {
    if (!stream_) return false;
    const void* data = frames;
    if (format_ == paInt16) {
      narrow_.resize(static_cast<std::size_t>(2 * count));
      for (std::size_t i = 0; i < narrow_.size(); ++i) {
        narrow_[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(frames[3 * i + 1] | frames[3 * i + 2] << 8));
      }
      data = narrow_.data();
    } else if (format_ == paInt32) {
      // 24-bit values in the top of 32-bit words: the same numbers.
      wide_.resize(static_cast<std::size_t>(2 * count));
      for (std::size_t i = 0; i < wide_.size(); ++i) {
        const std::uint8_t* s = frames + 3 * i;
        wide_[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(s[0]) << 8 |
                                             static_cast<std::uint32_t>(s[1]) << 16 |
                                             static_cast<std::uint32_t>(s[2]) << 24);
      }
      data = wide_.data();
    }
    const PaError error = Pa_WriteStream(stream_, data, static_cast<unsigned long>(count));
    // An underflow is a gap the listener heard; the stream plays on.
    return error == paNoError || error == paOutputUnderflowed;
  }

  void Finish() override {
    if (!stream_) return;
    Pa_StopStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
  }

  double LatencySeconds() const override {
    const PaStreamInfo* info = stream_ ? Pa_GetStreamInfo(stream_) : nullptr;
    return info ? info->outputLatency : 0.0;
  }

 private:
  PaStream* stream_;
  PaSampleFormat format_;
  std::vector<std::int32_t> wide_;
  std::vector<std::int16_t> narrow_;
};

class PortAudioSystem : public AudioSystem {
 public:
  ~PortAudioSystem() override { Pa_Terminate(); }

  std::vector<DeviceListing> OutputDevices() override {
    std::vector<DeviceListing> devices;
    const PaDeviceIndex defaultDevice = Pa_GetDefaultOutputDevice();
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
      const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
      if (!info || info->maxOutputChannels < 2) continue;
      const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
      devices.push_back(DeviceListing{i, info->name, api ? api->name : "", PathOf(info->name, api), i == defaultDevice});
    }
    return devices;
  }

  std::optional<DeviceListing> FindDevice(const std::string& name, DeviceProblem& problem) override {
    const std::vector<DeviceListing> devices = OutputDevices();
    std::vector<const DeviceListing*> holding;
    for (const DeviceListing& device : devices) {
      if (name.empty() ? device.isDefault : device.name == name) return device;
      if (!name.empty() && device.name.find(name) != std::string::npos) holding.push_back(&device);
    }
    if (holding.size() == 1) return *holding.front();
    problem.deviceName = name.empty() ? "default" : name;
    problem.kind = holding.empty() ? DeviceProblem::Kind::kNoSuchDevice : DeviceProblem::Kind::kAmbiguousName;
    for (const DeviceListing* device : holding) problem.detail += (problem.detail.empty() ? "" : ", ") + device->name;
    return std::nullopt;
  }

  std::unique_ptr<AudioOutput> OpenOutput(const DeviceListing& device, std::int32_t rate, DeviceProblem& problem,
                                          bool sixteenBitsWillDo) override {
    problem.deviceName = device.name;
    QuietStderr quiet;
    // 24-bit packed where the device takes it, else 32-bit words, which
    // carry the same values; never a format that changes them.
    for (const PaSampleFormat format : {paInt24, paInt32, paInt16}) {
      if (format == paInt16 && !sixteenBitsWillDo) continue;
      const PaStreamParameters parameters = StereoParameters(device.index, format);
      if (Pa_IsFormatSupported(nullptr, &parameters, rate) != paFormatIsSupported) continue;
      PaStream* stream = nullptr;
      PaError error = Pa_OpenStream(&stream, nullptr, &parameters, rate, paFramesPerBufferUnspecified, paClipOff,
                                    nullptr, nullptr);
      if (error == paNoError) error = Pa_StartStream(stream);
      if (error != paNoError) {
        if (stream) Pa_CloseStream(stream);
        problem.kind = DeviceProblem::Kind::kOpenFailed;
        problem.detail = Pa_GetErrorText(error);
        return nullptr;
      }
      return std::make_unique<PortAudioOutput>(stream, format);
    }
    problem.kind = DeviceProblem::Kind::kRateUnsupported;
    problem.bestRate = 0;
    for (const std::int32_t usual : kUsualRates) {
      const PaStreamParameters parameters = StereoParameters(device.index, paInt16);
      if (Pa_IsFormatSupported(nullptr, &parameters, usual) == paFormatIsSupported) {
        problem.bestRate = usual;
        break;
      }
    }
    return nullptr;
  }
};

}  // namespace

std::unique_ptr<AudioSystem> AudioSystem::Open(DeviceProblem& problem) {
  PaError error;
  {
    QuietStderr quiet;
    error = Pa_Initialize();
  }
  if (error != paNoError) {
    problem.kind = DeviceProblem::Kind::kNoSoundSystem;
    problem.detail = Pa_GetErrorText(error);
    return nullptr;
  }
  return std::make_unique<PortAudioSystem>();
}

}  // namespace quenlow::listen
