#pragma once

#include "playback/AudioOutput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Plays one bank's values on a thread of its own, so that the caller never waits for the
// device: start, stop at any time, and ask how far it has got. Playing again stops what plays.
// The thread is joined by stop and by the destructor.
class PreviewPlayer {
public:
    explicit PreviewPlayer(std::shared_ptr<AudioOutput> output);
    ~PreviewPlayer();
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    // Whether the output can play; why not in `why`.
    bool isAvailable(std::string& why);
    // Plays a copy of the values. Answers false when the thread could not be started.
    bool start(std::vector<std::int16_t> values);
    // Plays a sound made as it plays; the player keeps it until the next start.
    bool start(std::shared_ptr<AudioSource> source);
    void stop();
    bool isPlaying() const { return playing_.load(); }
    // Values played so far of the current or last sound.
    std::size_t position() const { return played_.load(); }
    // Why the last sound ended early ("" when it played to its end or was stopped).
    std::string failure() const;

private:
    bool run();

    std::shared_ptr<AudioOutput> output_;
    std::vector<std::int16_t> values_;
    std::shared_ptr<AudioSource> source_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> playing_{false};
    std::atomic<std::size_t> played_{0};
    mutable std::mutex mutex_;
    std::string failure_;
    std::thread thread_;
};
