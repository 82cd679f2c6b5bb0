#pragma once

#include "editor/EditorView.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// An EditorView for tests: keeps the state of every control, logs what the controller shows
// ("status <text>", "range <low> <high>", "position <n>", "show"/"hide" of the progress bar
// and "show stop"/"hide stop" of the Stop button,
// "box <caption>", "beep") and answers message boxes (then IdOk / IdYes) and file dialogs (then
// cancel) from scripts. Thread-safe. A status text can be made a gate: the thread that shows
// it stops there until the test opens the gate.
class RecordingEditorView final : public EditorView {
public:
    struct Box {
        std::string text, caption;
        Buttons buttons;
        Icon icon;
    };

    RecordingEditorView();

    std::deque<int> answers;
    std::deque<std::string> files;
    void script(std::vector<int> boxAnswers, std::vector<std::string> paths = {});

    void closeGateAt(const std::string& statusPrefix);
    bool waitAtGate();
    void openGate();

    void clearLog();
    std::vector<std::string> log() const;
    // The log lines that begin with prefix, without it.
    std::vector<std::string> logged(const std::string& prefix) const;
    std::vector<Box> boxes() const;
    std::vector<std::string> items(int control) const;
    int fileDialogs() const;
    int focus() const;
    bool visible(int control) const;
    std::vector<int> endedWith() const;
    // The waveform panel's lines ("<values> <line>") and the Play button's states
    // ("<available> <playing>"), kept apart from the log.
    std::vector<std::string> waveforms() const;
    std::vector<std::string> playbackStates() const;

    void clearList(int control) override;
    void appendToList(int control, const std::string& text) override;
    int listSelection(int control) override;
    void setListSelection(int control, int index) override;
    bool isChecked(int control) override;
    void setChecked(int control, bool checked) override;
    std::string text(int control) override;
    void setText(int control, const std::string& text) override;
    void setProgressRange(int control, std::uint16_t low, std::uint16_t high) override;
    void setProgressPosition(int control, int position) override;
    void showControl(int control, bool visible) override;
    void setFocus(int control) override;
    int messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                   Icon icon) override;
    void beep() override;
    std::optional<std::string> openFileName() override;
    std::optional<std::string> saveFileName(const std::string&, const std::string&,
                                            const std::string&) override;
    void showAboutBox() override;
    void endDialog(int result) override;
    void showWaveform(std::vector<std::int16_t> values, const std::string& line) override;
    void showPlayback(bool available, bool playing, const std::string& why) override;
    void showHistory(const std::string& undoText, const std::string& redoText) override;
    // Answers with frameSizes in turn (nothing when none is left).
    std::optional<std::size_t> chooseFrameSize(std::size_t frames, std::size_t suggested) override;
    std::vector<std::optional<std::size_t>> frameSizes;
    // Answers with partStarts in turn (nothing when none is left); keeps what it was shown.
    std::optional<double> choosePart(const std::vector<std::pair<float, float>>& overview,
                                     double seconds, double partSeconds, double start,
                                     std::function<void(double)> preview) override;
    std::vector<std::optional<double>> partStarts;
    bool showReading(const std::string& what, std::uint64_t done, std::uint64_t total) override;
    int readingSteps = 0;
    bool readingDone = false;
    std::size_t partColumns = 0;
    double partLength = 0;
    std::vector<std::pair<std::size_t, std::size_t>> frameQuestions;
    void showWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                   const std::string& slotName, const std::string& line) override;
    // The Undo and Redo entries as last shown.
    std::pair<std::string, std::string> history() const;
    // Runs f at once, on the calling thread.
    void post(std::function<void()> f) override;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, std::vector<std::string>> items_;
    std::map<int, int> selection_;
    std::map<int, bool> checked_, visible_;
    std::map<int, std::string> texts_;
    int focus_ = 0;
    int fileDialogs_ = 0;
    std::vector<std::string> log_;
    std::vector<Box> boxes_;
    std::vector<int> ended_;
    std::vector<std::string> waveforms_, playbackStates_;
    std::pair<std::string, std::string> history_;
    std::string gate_;
    bool gateClosed_ = false, atGate_ = false;
};
