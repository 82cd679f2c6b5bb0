#include "editor/PreviewController.h"

#include "editor/EditorView.h"
#include "playback/PreviewPlayer.h"
#include "wavetable/WaveTone.h"

// A wave's tone as the player reads it; a new wave is handed over without waiting.
class ToneSource final : public AudioSource {
public:
    ToneSource(std::span<const std::int16_t> wave, double frequency, double seconds)
        : generator_(wave, frequency, seconds) {}
    std::size_t read(std::span<std::int16_t> out) override { return generator_.read(out); }
    void setWave(std::span<const std::int16_t> wave) { generator_.setWave(wave); }

private:
    WaveTone::Generator generator_;
};

PreviewController::PreviewController(EditorView& view)
    : view_(view), player_(std::make_unique<PreviewPlayer>(defaultAudioOutput())) {}

PreviewController::~PreviewController() = default;

void PreviewController::init() {
    available_ = player_->isAvailable(unavailable_);
    showPlaying(false);
    view_.setText(EditorView::NoteText, WaveTone::describeNote(note_));
}

void PreviewController::showPlaying(bool playing) {
    view_.showPlayback(available_, playing, unavailable_);
}

bool PreviewController::playValues(std::vector<std::int16_t> values) {
    if (!available_) {
        return false;
    }
    const bool started = player_->start(std::move(values));
    toneBank_ = -1;
    tone_.reset();
    showPlaying(started);
    return started;
}

bool PreviewController::playTone(int bank, int note, std::span<const std::int16_t> wave) {
    if (!available_ || note < 0 || note > 127) {
        return false;
    }
    note_ = note;
    view_.setText(EditorView::NoteText, WaveTone::describeNote(note_));
    tone_ = std::make_shared<ToneSource>(wave, WaveTone::frequencyOf(note_), toneSeconds);
    const bool started = player_->start(tone_);
    toneBank_ = started ? bank : -1;
    showPlaying(started);
    return started;
}

void PreviewController::follow(int bank, bool waveLayout, std::span<const std::int16_t> wave) {
    if (!player_->isPlaying()) {
        return;
    }
    if (toneBank_ >= 0 && toneBank_ == bank && waveLayout) {
        // The tone plays on; its wave changes at its next cycle.
        tone_->setWave(wave);
    } else {
        stop();
    }
}

void PreviewController::stop() {
    player_->stop();
    toneBank_ = -1;
    tone_.reset();
    showPlaying(false);
}

void PreviewController::stopTone() {
    if (toneBank_ >= 0) {
        stop();
    }
}

bool PreviewController::isPlaying() const {
    return player_->isPlaying();
}

std::size_t PreviewController::position() const {
    return player_->position();
}
