#pragma once

#include "playback/AudioOutput.h"

#include <string>

// Preview playback through an ALSA PCM device: "default" on a desktop (PipeWire and PulseAudio
// reach it through their ALSA plugins), or any PCM name ("null", "file:FILE=out.raw,FORMAT=raw",
// "hw:0"). libasound's own error lines are silenced: what went wrong is answered instead.
class AlsaPcmOutput final : public AudioOutput {
public:
    explicit AlsaPcmOutput(std::string device = "default");

    bool isAvailable(std::string& why) override;
    bool play(std::span<const std::int16_t> values, const std::atomic<bool>& stop,
              std::atomic<std::size_t>& played, std::string& why) override;
    bool play(AudioSource& source, const std::atomic<bool>& stop, std::atomic<std::size_t>& played,
              std::string& why) override;

private:
    std::string device_;
};
