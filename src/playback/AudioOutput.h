#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

// A sound made as it plays (a tone whose wave may change): read gives the next values, fewer
// than asked once the sound has ended. Called on the playing thread only.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual std::size_t read(std::span<std::int16_t> out) = 0;
};

// Where preview playback goes: a sound device that plays 44100 Hz mono signed 16-bit values.
// Backends: ALSA PCM (vaneto_playback_alsa, AlsaPcmOutput); without one, no output at all.
// Nothing here prints or throws.
class AudioOutput {
public:
    AudioOutput() = default;
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;
    virtual ~AudioOutput() = default;

    // Whether the device can be opened now; why not in `why` ("" when it can). Returns at once.
    virtual bool isAvailable(std::string& why) = 0;
    // Plays the values from the start; returns when they have been played, when stop is set
    // (within a few milliseconds), or on a failure (false, with why). played is kept at the
    // number of values the device has taken so far.
    virtual bool play(std::span<const std::int16_t> values, const std::atomic<bool>& stop,
                      std::atomic<std::size_t>& played, std::string& why) = 0;
    // The same for a sound made as it plays, read a little ahead of the device in one open
    // stream. By default the whole sound is read first, then played.
    virtual bool play(AudioSource& source, const std::atomic<bool>& stop,
                      std::atomic<std::size_t>& played, std::string& why);
};

// The process-wide output the editor and the tool use; until a program installs a backend,
// one that is never available.
std::shared_ptr<AudioOutput> defaultAudioOutput();
void setDefaultAudioOutput(std::shared_ptr<AudioOutput> output);
