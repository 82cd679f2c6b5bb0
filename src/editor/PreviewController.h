#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class EditorView;
class PreviewPlayer;
class ToneSource;

// What the editor plays: a one-sample bank (Play, Space), a wave of a wave bank as a tone of a
// note (Play, the piano keys), a part of a long sound while it is chosen. Playing only reads,
// so it is allowed in every state. The Play button follows what plays.
class PreviewController {
public:
    // A wave plays as a tone, at first of A3 (220 Hz), this long at most.
    static constexpr int firstNote = 57;
    static constexpr double toneSeconds = 8.0;

    explicit PreviewController(EditorView& view);
    ~PreviewController();
    PreviewController(const PreviewController&) = delete;
    PreviewController& operator=(const PreviewController&) = delete;

    // Asks the output whether it can play and shows the Play button and the note.
    void init();
    bool available() const { return available_; }

    // Plays values (a bank, a part); answers whether it started.
    bool playValues(std::vector<std::int16_t> values);
    // The wave of `bank` as a tone of `note` (0 ... 127); the note becomes Play's.
    bool playTone(int bank, int note, std::span<const std::int16_t> wave);
    // The bank shown has changed (its values, its wave, the selection): a tone of that bank
    // plays on with its new wave, anything else stops.
    void follow(int bank, bool waveLayout, std::span<const std::int16_t> wave);
    void stop();
    // Stops a tone; a sample plays on.
    void stopTone();

    bool isPlaying() const;
    std::size_t position() const;
    int note() const { return note_; }

private:
    void showPlaying(bool playing);

    EditorView& view_;
    std::unique_ptr<PreviewPlayer> player_;
    bool available_ = false;
    std::string unavailable_; // why not
    int note_ = firstNote;
    // The bank whose wave plays as a tone (-1 while none does), and the tone.
    int toneBank_ = -1;
    std::shared_ptr<ToneSource> tone_;
};
