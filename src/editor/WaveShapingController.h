#pragma once

#include <string>

class BankDocument;
class PreviewController;
class WaveShapingView;

// "Formula..." and "Across the slots..." on a wave bank's selected slots: the dialog, then the
// range it made written as one step of the document (slots a formula fills named after it).
class WaveShapingController {
public:
    static constexpr double scanSeconds = 2.0; // Play: the first slot to the last
    static constexpr const char* firstFormula = "sin(2*pi*x) * (1 - t) + saw(x) * t";

    WaveShapingController(BankDocument& document, PreviewController& preview)
        : document_(document), preview_(preview) {}
    void setView(WaveShapingView* view) { view_ = view; }

    // The slots first ... last of a bank in the wave layout; false when nothing changed.
    bool shape(int bank, int first, int last, bool formula);

private:
    BankDocument& document_;
    PreviewController& preview_;
    WaveShapingView* view_ = nullptr;
    std::string lastFormula_ = firstFormula; // offered again next time
};
