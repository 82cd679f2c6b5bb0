#pragma once

#include "VanetoVersion.h"
#include "document/BankDocument.h"
#include "editor/BrowserCommands.h"
#include "editor/EditorView.h"
#include "editor/WaveCommands.h"
#include "editor/WaveSlotEditor.h"
#include "files/EditorTexts.h"
#include "files/Utf8Text.h"
#include "midiout/MidiOutPortList.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class BankFileController;
class Clock;
class DvVaneto;
class ImportController;
class MidiOutService;
class PreviewController;
class TransferController;
class ResynthesisView;
class WaveShapingController;
class WaveShapingView;
class WorkController;
class WorkOfferView;

// The editor's logic behind its one dialog: fills the dialog and turns every button into a
// command. The banks are a BankDocument, the one door of every change; beside it the import,
// the bank files and exports, the transfer and the preview each have a controller of their own,
// and this one keeps the dialog's fields, the history's entries and the wave slots. Every
// handler runs on the dialog's thread; a transfer runs on a worker thread of its own.
class VanetoEditorController final : public WaveCommands {
public:
    static constexpr const char* versionText = "Version " VANETO_VERSION;
    static constexpr const char* appTitle = EditorTexts::appTitle;
    static constexpr const char* noPortText = ::noPortText;
    static constexpr const char* wrongFormatCaption = EditorTexts::wrongFormatCaption;

    // The view must outlive the controller. The MIDI service lists the ports and carries the
    // transfer; the clock paces the send worker and the transmitter.
    VanetoEditorController(EditorView& view, std::shared_ptr<MidiOutService> service, Clock& clock);
    // Uses the default MIDI output service and the real clock.
    explicit VanetoEditorController(EditorView& view);
    VanetoEditorController(const VanetoEditorController&) = delete;
    VanetoEditorController& operator=(const VanetoEditorController&) = delete;
    ~VanetoEditorController() override;

    // The pace at which the MIDI service sends long messages (bytes per second), for the
    // transfer's estimates; the wire rate unless the program was started with another.
    void setBytesPerSecond(double bytesPerSecond);

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
    // The "selected bank" option was toggled (the transfer reads it once its port is open).
    void sendOptionChanged();
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
    // is; names and layout are not. Both are refused while a drag is open.
    void undo();
    void redo();
    // The selected bank as one sample or as 256 wave slots; values and names stay.
    void setLayout(bool singleSample);

    // WaveCommands: the wave slots of the selected bank (in the wave layout).
    void selectSlot(int slot, bool extend) override;
    void beginStroke(double position, double value, bool straight) override;
    void beginHarmonicDrag(int harmonic) override;
    void strokeTo(double position, double value) override;
    void dragHarmonic(double db) override;
    void endEdit() override;
    void cancelEdit() override;
    void waveOperation(WaveSlotEditor::Operation operation) override;
    void shapeWaves(bool formula) override;
    void copyWaves() override;
    void pasteWaves() override;
    void commitSlotName(const std::string& text) override;
    void exportWaves(bool wholeTable) override;
    void playNote(int note) override;
    void stopNote() override;
    // Changes of a one-sample bank's sound, from its waveform's menu, on the values first ...
    // last (a range dragged on the waveform), or with first < 0 on the sound up to its last
    // value that is not 0. One undo step each.
    using SampleOperation = WaveOperations::Kind;
    static constexpr std::size_t fadeValues = 441; // 10 ms at 44100 Hz
    void sampleOperation(SampleOperation operation, long first, long last) override;
    // "Choose part...": after an import of a sound longer than a bank, the user picks which
    // 1.486 s of it the bank takes; imported as "Open..." does, one undo step.
    bool canChoosePart() override;
    void choosePart() override;

    // The Play button and Space on the bank list: plays the selected bank, or stops playing.
    // Playing only reads, so it is allowed during a transfer.
    void togglePlayback();
    bool isPlaying() const;
    // Values of the bank played so far; the view asks while playing, to move its playhead.
    std::size_t playbackPosition() const;

    // Files dropped on the window: one audio file imports into `bank` (-1: the selected bank)
    // as "Open..." does, one bank file opens as "Open from Disk..." does; several files are
    // refused with a message. Nothing happens while a transfer runs.
    void dropFiles(const std::vector<std::string>& paths, int bank);

    // The work kept on disk, so that nothing is lost (see WorkController): begun once the
    // dialog is up; with restoreNow a state comes back at once (restoreId's, else the newest).
    void keepWork(const std::filesystem::path& folder, bool restoreNow, WorkOfferView& offer,
                  const std::string& restoreId = {});
    void restoreWork();
    void dismissWork();
    // Every kept state in a list, any of them to restore.
    void showKeptWork();
    // Notices a failure of writing the kept work (the window asks every second).
    void pollWork();
    // At quit: what is pending written, within the limit. False when changes of this run are
    // left unkept; unkeptWork says why.
    bool finishWork(std::chrono::milliseconds limit);
    std::string unkeptWork() const;
    WorkController* work() { return work_.get(); }

    // What the sound browser asks of the editor.
    BrowserCommands& browser() { return *browser_; }
    // Where a recording is made into waves (the dialog; none: not offered).
    void setResynthesisView(ResynthesisView* view);
    // Where slots are made from a formula or changed across a range (the dialog).
    void setWaveShapingView(WaveShapingView* dialog);

    // True while no transfer runs.
    bool isIdle() const { return !document_->transferring(); }
    std::uint16_t portCountAtStart() const;
    const DvVaneto& banks() const { return document_->banks(); }
    BankDocument& document() { return *document_; }

    // How names held as bytes are shown: unchanged when they are valid UTF-8, otherwise read as
    // Latin-1 (files written on other systems) and given as UTF-8.
    static std::string displayName(const std::string& bytes) { return ::displayName(bytes); }

private:
    int selectedBank();
    void selectBank(int bank);
    // Stores an edited name: the shown text goes back unchanged as the old bytes, anything
    // else as the UTF-8 text typed.
    static std::string editedName(const std::string& shown, const std::string& stored) {
        return shown == displayName(stored) ? stored : shown;
    }
    bool rename(int bank, int slot, const std::string& name, std::string label);
    // After every change of the document: the history's entries and what it changed.
    void documentChanged(const BankDocument::Event& event);
    // The selected bank's name and first sample name in their edits.
    void showNames(int bank);
    // The waveform panel follows the selected bank; with soundChanged, whatever plays follows
    // or stops.
    void refreshWaveform(bool soundChanged = true);
    std::vector<std::int16_t> valuesOf(int bank) const;
    // The view's Undo and Redo entries follow the history.
    void showHistory();

    EditorView& view;
    std::unique_ptr<BankDocument> document_;
    std::unique_ptr<WaveSlotEditor> waves_;
    std::unique_ptr<PreviewController> preview_;
    std::unique_ptr<BankFileController> bankFiles_;
    std::unique_ptr<ImportController> imports_;
    std::unique_ptr<TransferController> transfer_;
    std::unique_ptr<BrowserCommands> browser_;
    std::unique_ptr<WaveShapingController> shaping_;
    std::unique_ptr<WorkController> work_;
    std::string refusal_; // why the last command was refused, until the next change
};
