#pragma once

#include "VanetoVersion.h"
#include "app/EditorTexts.h"
#include "app/EditorView.h"
#include "app/SampleImport.h"
#include "app/WaveSlotEditor.h"
#include "midi/LoMidiEvent.h"
#include "midiout/MidiOutPortList.h"
#include "midiout/SysexPacer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Clock;
class BankHistory;
class DvVaneto;
class MidiOutService;
class PreviewPlayer;
class TransferEngine;

// The editor's logic behind its one dialog: owns the bank store, fills the dialog, and turns
// every button into a command (rename, reset, sample import, bank file save and open, sending
// to the synthesizer). Every handler runs on the dialog's thread; a transfer runs on a worker
// thread of its own and refuses the other commands (and closing) while it runs.
class VanetoEditorController {
public:
    static constexpr const char* versionText = "Version " VANETO_VERSION;
    static constexpr const char* appTitle = "VanetoEditor";
    static constexpr const char* noPortText = ::noPortText;
    static constexpr const char* wrongFormatCaption = EditorTexts::wrongFormatCaption;
    // A wave of a wavetable bank plays as a tone, at first of A3 (220 Hz), this long at most.
    static constexpr int firstNote = 57;
    static constexpr double previewSeconds = 8.0;

    // The view must outlive the controller. The MIDI service lists the ports and carries the
    // transfer; the clock paces the send worker and the transmitter.
    VanetoEditorController(EditorView& view, std::shared_ptr<MidiOutService> service, Clock& clock);
    // Uses the default MIDI output service and the real clock.
    explicit VanetoEditorController(EditorView& view);
    VanetoEditorController(const VanetoEditorController&) = delete;
    VanetoEditorController& operator=(const VanetoEditorController&) = delete;
    ~VanetoEditorController();

    // The pace at which the MIDI service sends long messages (bytes per second), for the
    // transfer's estimates; the wire rate unless the program was started with another.
    void setBytesPerSecond(double bytesPerSecond) { bytesPerSecond_ = bytesPerSecond; }

    // Fills the dialog once its controls exist, before it is shown.
    void initDialog();

    // Handlers of the dialog's notifications.
    void showSelectedBank();
    void commitBankName();
    void commitSampleName();
    void resetToDefault();
    void importSample();
    void onOk();
    void onCancel();
    void sendBanks();
    // The Stop button: ends a running transfer (the message in flight is ended with F7, the
    // port closed, idle comes back as after a finished transfer). Does nothing while idle.
    void stopTransfer();
    // The program is asked to end (a signal, the session ending): stops a running transfer
    // and ends the dialog as soon as it is idle. Answers whether the dialog has ended.
    bool quitWhenIdle();
    void openFromDisk();
    void saveToDisk();
    void showAbout();

    void refreshBankList();
    void refreshPortList();

    // Undo and redo of every change of the bank image (Ctrl+Z, Ctrl+Shift+Z or Ctrl+Y, and the
    // window's menu). Changes of values are refused while a transfer runs, as Reset to Default
    // is; names and layout are not.
    void undo();
    void redo();
    // The selected bank as one sample or as 256 wave slots; values and names stay.
    void setLayout(bool singleSample);
    BankHistory& history() { return *history_; }

    // The wave slots of the selected bank (in the wave layout): selection, a stroke or a
    // harmonic drag on the selected wave (each one undo step; cancel puts the wave back), the
    // operations on the selection, copy and paste, and the selected slot's name. Changes of
    // values are refused while a transfer runs.
    void selectSlot(int slot, bool extend);
    void beginStroke(double position, double value, bool straight);
    void beginHarmonicDrag(int harmonic);
    void strokeTo(double position, double value);
    // The dragged harmonic's level in dB of full scale.
    void dragHarmonic(double db);
    void endEdit();
    void cancelEdit();
    void waveOperation(WaveSlotEditor::Operation operation);
    void copyWaves();
    void pasteWaves();
    void commitSlotName(const std::string& text);
    // Changes of a one-sample bank's sound, from its waveform's menu, on the values first ...
    // last (a range dragged on the waveform), or with first < 0 on the sound up to its last
    // value that is not 0. One undo step each.
    enum class SampleOperation { normalize, removeDc, reverse, fadeIn, fadeOut };
    static constexpr std::size_t fadeValues = 441; // 10 ms at 44100 Hz
    void sampleOperation(SampleOperation operation, long first, long last);
    // "Choose part...": after an import of a sound longer than a bank, the user picks which
    // 1.486 s of it the bank takes; imported as "Open..." does, one undo step.
    bool canChoosePart();
    void choosePart();
    // Writes the bank's 256 waves as a wavetable WAV (frames of 256, a "srge" chunk), or the
    // selected wave as a one-cycle WAV, to a file the user chooses.
    void exportWaves(bool wholeTable);

    // The Play button and Space on the bank list: plays the selected bank, or stops playing.
    // Playing only reads, so it is allowed during a transfer.
    void togglePlayback();
    // A wavetable bank's selected wave as a tone of a MIDI note (the piano keys of the
    // keyboard); the note becomes Play's. stopNote ends it.
    void playNote(int note);
    void stopNote();
    bool isPlaying() const;
    // Values of the bank played so far; the view asks while playing, to move its playhead.
    std::size_t playbackPosition() const;

    // Files dropped on the window: one audio file imports into `bank` (-1: the selected bank)
    // as "Open..." does, one bank file opens as "Open from Disk..." does; several files are
    // refused with a message. Nothing happens while a transfer runs.
    void dropFiles(const std::vector<std::string>& paths, int bank);

    // True while no transfer runs.
    bool isIdle() const { return idle.load(); }
    std::uint16_t portCountAtStart() const { return deviceCount; }
    DvVaneto& banks() { return *bankStore; }

    // How names held as bytes are shown: unchanged when they are valid UTF-8, otherwise read as
    // Latin-1 (files written on other systems) and given as UTF-8.
    static std::string displayName(const std::string& bytes);

private:
    int selectedBank();
    // Stores an edited name: the shown text goes back unchanged as the old bytes, anything
    // else as the UTF-8 text typed.
    static std::string editedName(const std::string& shown, const std::string& stored);

    // "Open..." and "Open from Disk..." once the file is known; options choose the part.
    void importFile(const std::string& path, int bank);
    void importFile(const std::string& path, int bank, const SampleImport::Options& options);
    void openBankFile(const std::string& path);
    // "Open..." and drops into a wavetable bank: waves into the slots from the selected one.
    void importWaves(const std::string& path, int bank);
    // The waveform panel follows the selected bank; whatever plays stops.
    void refreshWaveform();
    void stopPlayback();
    std::vector<std::int16_t> valuesOf(int bank) const;
    // The view's Undo and Redo entries follow the history.
    void showHistory();
    // After an undo or a redo: the banks it changed are shown as they now are.
    void showUndone(const std::vector<int>& banks);

    void sendWorker();
    void finishTransfer(const std::string& failure);

    EditorView& view;
    std::shared_ptr<MidiOutService> service;
    Clock& clock;

    std::uint16_t deviceCount = 0;
    std::atomic<bool> idle{true};
    std::unique_ptr<DvVaneto> bankStore;
    std::unique_ptr<BankHistory> history_;
    std::unique_ptr<WaveSlotEditor> waves_;
    // Non-empty only while its operation runs; each blocks a second start of its own command.
    // (The import's reader lives inside the import pipeline; this marks it running.)
    bool importRunning = false;
    // The running transfer's engine (it holds the event list and the transmitter); made on
    // this thread by Send, kept until the next Send or the controller's end.
    std::unique_ptr<TransferEngine> engine;
    double bytesPerSecond_ = SysexPacer::wireBytesPerSecond;
    // A bank file is being saved or opened (its message boxes run the dialog's events).
    bool fileBusy = false;

    // Port names as listed at start, for the worker's messages.
    std::vector<std::string> portNames;

    std::thread worker;

    std::unique_ptr<PreviewPlayer> player;
    int note_ = firstNote;
    // The bank whose wave plays as a tone; -1 while none does.
    int toneBank_ = -1;
    bool audioAvailable = false;
    std::string audioUnavailable; // why not
    // Where each bank's sound came from, after an import ("" for factory or file content).
    std::array<std::string, 7> origins;
    // The file each bank's sound was imported from and where the bank's part began ("" when
    // the sound did not come from a file longer than the bank).
    std::array<std::string, 7> importPaths;
    std::array<double, 7> importStarts{};
};
