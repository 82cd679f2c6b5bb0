#include "playback/AudioOutput.h"

#include <mutex>

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
