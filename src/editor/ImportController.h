#pragma once

#include "files/SampleImport.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class BankDocument;
class BankFileController;
class EditorView;
class PreviewController;
class ResynthesisView;

// Sounds into banks from the editor: Open..., dropped files, waves into the slots of a wave
// bank, and Choose Part... after an import of a sound longer than the bank. Each import is one
// step of the document, run as its import operation; where the sound came from goes with it.
class ImportController {
public:
    // Where the editor is: the selected bank (-1: none) and, in a wave bank, the selected slot;
    // and how the selection moves to another bank.
    struct Selection {
        std::function<int()> bank;
        std::function<int()> slot;
        std::function<void(int)> selectBank;
    };

    ImportController(EditorView& view, BankDocument& document, PreviewController& preview,
                     BankFileController& bankFiles, Selection selection);

    void openSound();
    // Files dropped on the window: one audio file into `bank` (-1: the selected bank), one
    // bank file opened; several are refused with a message.
    void drop(const std::vector<std::string>& paths, int bank);
    bool canChoosePart() const;
    void choosePart();

    // Where a recording is made into waves (none: the choice is not offered).
    void setResynthesisView(ResynthesisView* view) { resynthesisView_ = view; }

    // The frame size offered first for a file of `frames` frames that does not state one
    // (0: one cycle).
    static std::size_t suggestedFrameSize(std::size_t frames);

private:
    void importFile(const std::string& path, int bank, const SampleImport::Options& options);
    void importSample(const std::string& path, int bank, const SampleImport::Options& options);
    void importWaves(const std::string& path, int bank);
    // A recording made into waves from the selected slot on, as the user chooses.
    void resynthesize(const std::string& path, int bank);
    // The whole sound's overview for the dialogs that show it (said when it cannot be read).
    std::optional<std::vector<std::pair<float, float>>> readOverview(const std::string& path,
                                                                     double& seconds);

    EditorView& view_;
    BankDocument& document_;
    PreviewController& preview_;
    BankFileController& bankFiles_;
    Selection selection_;
    ResynthesisView* resynthesisView_ = nullptr;
};
