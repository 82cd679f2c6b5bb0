#pragma once

#include <string>

class BankDocument;
class EditorView;

// Bank files and exports from the editor: Save to Disk..., Open from Disk... (and a dropped
// bank file), and a wave bank written as a wavetable WAV or one wave as a one-cycle WAV. Each
// runs as the document's file operation; an open is one step of the history.
class BankFileController {
public:
    BankFileController(EditorView& view, BankDocument& document);

    // The selected bank (-1: none) or, with the "all banks" option, every bank.
    void save(int selectedBank);
    void open(int selectedBank);
    void openFile(const std::string& path, int selectedBank);
    // The whole table of the bank, or its wave in slot.
    void exportWaves(int bank, int slot, bool wholeTable);

private:
    // Reads the file and loads its banks as one step (inside the file operation).
    void load(const std::string& path, int selectedBank);

    EditorView& view_;
    BankDocument& document_;
};
