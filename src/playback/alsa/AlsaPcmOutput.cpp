#include "playback/alsa/AlsaPcmOutput.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

namespace {

constexpr unsigned rate = 44100;
constexpr unsigned latencyMicroseconds = 100'000;
constexpr std::size_t piece = 1024; // frames per write, so that a stop is seen at once

void silent(const char*, int, const char*, int, const char*, ...) {}

void silenceLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(silent); });
}

std::string describe(const std::string& device, int error) {
    return "cannot open the audio output \"" + device + "\": " + snd_strerror(error);
}

} // namespace

AlsaPcmOutput::AlsaPcmOutput(std::string device) : device_(std::move(device)) {}

bool AlsaPcmOutput::isAvailable(std::string& why) {
    silenceLibrary();
    snd_pcm_t* pcm = nullptr;
    const int error =
        snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        why = describe(device_, error);
        return false;
    }
    snd_pcm_close(pcm);
    why.clear();
    return true;
}

namespace {

// Values already made, read in pieces.
class ValuesSource final : public AudioSource {
public:
    explicit ValuesSource(std::span<const std::int16_t> values) : values_(values) {}
    std::size_t read(std::span<std::int16_t> out) override {
        const std::size_t count = std::min(out.size(), values_.size() - at_);
        std::copy_n(values_.begin() + static_cast<std::ptrdiff_t>(at_), count, out.begin());
        at_ += count;
        return count;
    }

private:
    std::span<const std::int16_t> values_;
    std::size_t at_ = 0;
};

} // namespace

bool AlsaPcmOutput::play(std::span<const std::int16_t> values, const std::atomic<bool>& stop,
                         std::atomic<std::size_t>& played, std::string& why) {
    ValuesSource source(values);
    return play(source, stop, played, why);
}

bool AlsaPcmOutput::play(AudioSource& source, const std::atomic<bool>& stop,
                         std::atomic<std::size_t>& played, std::string& why) {
    silenceLibrary();
    played.store(0);
    snd_pcm_t* pcm = nullptr;
    // Opened without blocking, so that a device held by another program fails at once.
    int error = snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        why = describe(device_, error);
        return false;
    }
    error = snd_pcm_nonblock(pcm, 0);
    if (error >= 0) {
        error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                   rate, 1, latencyMicroseconds);
    }
    if (error < 0) {
        why = "cannot play 44100 Hz mono 16-bit on \"" + device_ + "\": " + snd_strerror(error);
        snd_pcm_close(pcm);
        return false;
    }
    std::size_t written = 0;
    bool ok = true;
    int retries = 0;
    std::int16_t buffer[piece];
    std::size_t filled = 0, taken = 0;
    bool ended = false;
    while (!stop.load()) {
        if (taken == filled) {
            if (ended) {
                break;
            }
            filled = source.read(std::span(buffer));
            taken = 0;
            ended = filled < piece;
            if (filled == 0) {
                break;
            }
        }
        const snd_pcm_sframes_t result = snd_pcm_writei(pcm, buffer + taken, filled - taken);
        if (result >= 0) {
            written += static_cast<std::size_t>(result);
            taken += static_cast<std::size_t>(result);
            snd_pcm_sframes_t delay = 0;
            const std::size_t waiting =
                snd_pcm_delay(pcm, &delay) >= 0 && delay > 0 ? static_cast<std::size_t>(delay) : 0;
            played.store(written > waiting ? written - waiting : 0);
            continue;
        }
        // An underrun or a suspend is recovered a few times; anything else ends the play.
        if (++retries > 8 || snd_pcm_recover(pcm, static_cast<int>(result), 1) < 0) {
            why = std::string("playing failed: ") + snd_strerror(static_cast<int>(result));
            ok = false;
            break;
        }
    }
    if (stop.load() || !ok) {
        snd_pcm_drop(pcm);
    } else {
        snd_pcm_drain(pcm);
        played.store(written);
    }
    snd_pcm_close(pcm);
    return ok;
}
