#include "playback/AudioOutput.h"

#include <mutex>
#include <vector>

namespace {

class NoAudioOutput final : public AudioOutput {
public:
    bool isAvailable(std::string& why) override {
        why = "No audio output in this build";
        return false;
    }
    bool play(std::span<const std::int16_t>, const std::atomic<bool>&, std::atomic<std::size_t>&,
              std::string& why) override {
        return isAvailable(why);
    }
};

std::mutex outputMutex;
std::shared_ptr<AudioOutput> installed;

} // namespace

bool AudioOutput::play(AudioSource& source, const std::atomic<bool>& stop,
                       std::atomic<std::size_t>& played, std::string& why) {
    std::vector<std::int16_t> values;
    constexpr std::size_t piece = 4096;
    for (;;) {
        const std::size_t at = values.size();
        values.resize(at + piece);
        const std::size_t got = source.read(std::span(values).subspan(at));
        values.resize(at + got);
        if (got < piece || stop.load()) {
            break;
        }
    }
    return play(std::span<const std::int16_t>(values), stop, played, why);
}

std::shared_ptr<AudioOutput> defaultAudioOutput() {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (!installed) {
        installed = std::make_shared<NoAudioOutput>();
    }
    return installed;
}

void setDefaultAudioOutput(std::shared_ptr<AudioOutput> output) {
    std::lock_guard<std::mutex> lock(outputMutex);
    installed = std::move(output);
}
