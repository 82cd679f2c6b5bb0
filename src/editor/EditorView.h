#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Everything the editor controller asks of its dialog window: lists, drop-down lists, options,
// texts, the progress bar, focus, message boxes, file dialogs and ending the dialog. Controls are
// addressed by their numbers below. Texts are UTF-8.
//
// Threads: every call belongs to the view's own thread. A worker (a transfer) never calls the
// view directly and never waits for its thread: post carries what it shows there.
class EditorView {
public:
    enum Control : int {
        BankNameEdit = 1000,
        SampleNameEdit = 1001,
        ImportButton = 1002,
        OpenButton = 1003,
        BankList = 1004,
        AllBanksOption = 1005,
        SelectedBankOption = 1006,
        ChannelList = 1007,
        PortList = 1008,
        ResetButton = 1009,
        SaveButton = 1010,
        VersionText = 1011,
        SendButton = 1012,
        ProgressBar = 1013,
        StatusLine = 1014,
        // Not in the template: shown beside the progress bar while a transfer runs.
        StopButton = 1015,
        // Not in the template: beside the Play button, the note a wave plays at ("A3").
        NoteText = 1016,
    };

    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Icon { Information, Question, Warning };
    // Answers of a message box, numbered as the classic dialog results.
    enum Answer : int { IdOk = 1, IdCancel = 2, IdYes = 6, IdNo = 7 };

    EditorView() = default;
    EditorView(const EditorView&) = delete;
    EditorView& operator=(const EditorView&) = delete;
    virtual ~EditorView() = default;

    // List box and drop-down lists: appended texts keep their order; a selection is an index,
    // -1 for none.
    virtual void clearList(int control) = 0;
    virtual void appendToList(int control, const std::string& text) = 0;
    virtual int listSelection(int control) = 0;
    virtual void setListSelection(int control, int index) = 0;

    virtual bool isChecked(int control) = 0;
    virtual void setChecked(int control, bool checked) = 0;

    // Whole text of an edit or a static text.
    virtual std::string text(int control) = 0;
    virtual void setText(int control, const std::string& text) = 0;

    // Progress bar with a 16-bit range. A position outside the range shows as the nearer end.
    virtual void setProgressRange(int control, std::uint16_t low, std::uint16_t high) = 0;
    virtual void setProgressPosition(int control, int position) = 0;

    virtual void showControl(int control, bool visible) = 0;
    virtual void setFocus(int control) = 0;

    // Modal message box over the dialog; answers one of Answer.
    virtual int messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                           Icon icon) = 0;
    // A short attention sound.
    virtual void beep() = 0;

    // Modal file dialogs. The answer is the chosen file's full path in the file system's
    // encoding, or nothing when the user cancelled. openFileName offers every file. saveFileName
    // offers one filter, appends the default extension to a name typed without one and asks
    // before an existing file is chosen.
    virtual std::optional<std::string> openFileName() = 0;
    virtual std::optional<std::string> saveFileName(const std::string& filterName,
                                                    const std::string& pattern,
                                                    const std::string& defaultExtension) = 0;

    // Runs the About box modally and returns when it has been closed.
    virtual void showAboutBox() = 0;

    // Ends the dialog with the given result.
    virtual void endDialog(int result) = 0;

    // Outside the template, in a panel under it: the selected bank's waveform with a line of
    // figures under it, and the Play button (available or not, and why not; playing or not).
    virtual void showWaveform(std::vector<std::int16_t> values, const std::string& line) = 0;
    virtual void showPlayback(bool available, bool playing, const std::string& why) = 0;
    // The selected bank in the wave layout, in place of the waveform: its values (256 waves of
    // 256), the selected slot, the selected range and the selected slot's name; and the line
    // under it. showWaveform shows the single-sample layout again.
    virtual void showWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                           const std::string& slotName, const std::string& line) = 0;

    // What Undo and Redo would take back, as their menu entries name it ("Undo import of
    // pluck.wav into bank 4"); "" when there is nothing to undo or redo.
    virtual void showHistory(const std::string& undoText, const std::string& redoText) = 0;

    // Asks how to take an audio file of `frames` frames into the wave slots: 0 for one cycle,
    // N for a table of frames of N values, resynthesizeChoice to make the recording into waves
    // (offered where the view can ask how); nothing when the user cancelled. `suggested` is
    // preselected.
    static constexpr std::size_t resynthesizeChoice = static_cast<std::size_t>(-1);
    virtual std::optional<std::size_t> chooseFrameSize(std::size_t frames,
                                                       std::size_t suggested) = 0;

    // How far the reading of a long file has got (done of total, in any unit; done == total when
    // it is over): a progress bar that shows once the reading takes a moment. Answers false when
    // the user asked to stop.
    virtual bool showReading(const std::string& what, std::uint64_t done, std::uint64_t total) = 0;

    // Lets the user choose which part of a long sound goes into a bank: the whole sound's
    // overview (low and high per column, fractions of full scale), its length and the part's
    // length in seconds, the part's start now; preview plays the part from a start. Answers
    // the start chosen, or nothing when the user cancelled.
    virtual std::optional<double> choosePart(const std::vector<std::pair<float, float>>& overview,
                                             double seconds, double partSeconds, double start,
                                             std::function<void(double)> preview) = 0;

    // Runs f on the view's thread, without waiting for it.
    virtual void post(std::function<void()> f) = 0;
};
