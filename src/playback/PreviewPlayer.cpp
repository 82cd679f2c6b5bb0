#include "playback/PreviewPlayer.h"

#include <system_error>

PreviewPlayer::PreviewPlayer(std::shared_ptr<AudioOutput> output)
    : output_(output ? std::move(output) : defaultAudioOutput()) {}

PreviewPlayer::~PreviewPlayer() {
    stop();
}

bool PreviewPlayer::isAvailable(std::string& why) {
    return output_->isAvailable(why);
}

bool PreviewPlayer::start(std::vector<std::int16_t> values) {
    stop();
    values_ = std::move(values);
    source_.reset();
    return run();
}

bool PreviewPlayer::start(std::shared_ptr<AudioSource> source) {
    stop();
    values_.clear();
    source_ = std::move(source);
    return run();
}

bool PreviewPlayer::run() {
    stop_.store(false);
    played_.store(0);
    playing_.store(true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_.clear();
    }
    try {
        thread_ = std::thread([this] {
            std::string why;
            const bool ok = source_ ? output_->play(*source_, stop_, played_, why)
                                    : output_->play(std::span<const std::int16_t>(values_), stop_,
                                                    played_, why);
            if (!ok) {
                std::lock_guard<std::mutex> lock(mutex_);
                failure_ = why;
            }
            playing_.store(false);
        });
    } catch (const std::system_error&) {
        playing_.store(false);
        return false;
    }
    return true;
}

void PreviewPlayer::stop() {
    stop_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
    playing_.store(false);
}

std::string PreviewPlayer::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}
