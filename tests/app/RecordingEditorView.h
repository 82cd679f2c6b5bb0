#pragma once

#include "app/EditorView.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// An EditorView for tests: keeps the state of every control, records what the controller did
// (status texts, progress calls, message boxes, file dialogs) and answers message boxes and file
// dialogs from scripts. Safe to call from several threads. A status text can be made a gate:
// the thread that sets it stops there until the test opens the gate.
class RecordingEditorView final : public EditorView {
public:
    struct MessageBoxCall {
        std::string text;
        std::string caption;
        Buttons buttons;
        Icon icon;
    };
    struct ProgressCall {
        enum class Kind { range, position, show, hide } kind;
        int first;
        int second;
    };

    RecordingEditorView();

    // Scripts. Message boxes answer from the queue, then with the default (IdOk / IdYes).
    void answerMessageBoxes(std::vector<int> answers);
    // File dialogs answer from the queue, then cancel.
    void chooseFiles(std::vector<std::string> paths);

    // The next setText of the status line whose text begins with prefix blocks until
    // openGate(); waitAtGate() waits until a thread is stopped there.
    void closeGateAt(const std::string& prefix);
    bool waitAtGate(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    void openGate();

    // Forgets the recorded calls (not the state of the controls).
    void clearRecords();

    // Recorded calls and control state (copies).
    std::vector<std::string> statusTexts() const;
    std::vector<ProgressCall> progressCalls() const;
    std::vector<MessageBoxCall> messageBoxes() const;
    std::vector<std::string> items(int control) const;
    int fileDialogs() const;
    int beeps() const;
    int focus() const;
    bool visible(int control) const;
    std::vector<int> endedWith() const;
    // Everything that the controller asked of the view, one line per call.
    std::vector<std::string> log() const;

    // EditorView
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
    std::optional<std::string> saveFileName(const std::string& filterName,
                                            const std::string& pattern,
                                            const std::string& defaultExtension) override;
    void showAboutBox() override;
    void endDialog(int result) override;

private:
    std::optional<std::string> nextFile();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, std::vector<std::string>> items_;
    std::map<int, int> selection_;
    std::map<int, bool> checked_;
    std::map<int, std::string> texts_;
    std::map<int, bool> visible_;
    int focus_ = 0;
    std::vector<std::string> statusTexts_;
    std::vector<ProgressCall> progress_;
    std::vector<MessageBoxCall> messageBoxes_;
    std::deque<int> answers_;
    std::deque<std::string> files_;
    int fileDialogs_ = 0;
    int beeps_ = 0;
    std::vector<int> ended_;
    std::vector<std::string> log_;
    std::string gatePrefix_;
    bool gateClosed_ = false;
    bool waitingAtGate_ = false;
};
