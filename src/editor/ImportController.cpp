#include "editor/ImportController.h"

#include "document/BankDocument.h"
#include "editor/BankFileController.h"
#include "files/EditorTexts.h"
#include "editor/EditorView.h"
#include "editor/PreviewController.h"
#include "editor/ResynthesisView.h"
#include "files/SourceOverview.h"
#include "files/Utf8Text.h"
#include "device/DvVaneto.h"
#include "midi/LoMidiFileReader.h"
#include "wavetable/WaveTone.h"
#include "wavetable/WavetableImport.h"
#include "wavetable/WavetableSource.h"

#include <algorithm>
#include <filesystem>

namespace {

using EditorTexts::appTitle;
using EditorTexts::quoted;
using EditorTexts::wrongFormatCaption;
using Command = BankDocument::Command;

std::string importLabel(const std::string& path, int bank) {
    return "import of " + displayFileName(path) + " into bank " + std::to_string(bank + 1);
}

} // namespace

ImportController::ImportController(EditorView& view, BankDocument& document,
                                   PreviewController& preview, BankFileController& bankFiles,
                                   Selection selection)
    : view_(view), document_(document), preview_(preview), bankFiles_(bankFiles),
      selection_(std::move(selection)) {}

std::size_t ImportController::suggestedFrameSize(std::size_t frames) {
    return frames == WavetableSource::framesOf64Table ? 256 : frames <= 4096 ? 0 : 2048;
}

void ImportController::openSound() {
    const DocumentOperation operation(document_, Command::import);
    if (!operation) {
        return;
    }
    const std::optional<std::string> path = view_.openFileName();
    if (path) {
        importFile(*path, selection_.bank(), SampleImport::Options{});
    }
}

void ImportController::drop(const std::vector<std::string>& paths, int bank) {
    if (paths.empty() || !document_.allows(Command::import)) {
        document_.refuse(Command::import);
        return;
    }
    if (paths.size() > 1) {
        view_.messageBox("Drop one file at a time: " + std::to_string(paths.size()) +
                             " files were dropped, and nothing was changed.",
                         appTitle, EditorView::Buttons::Ok, EditorView::Icon::Information);
        return;
    }
    if (LoMidiFileReader(std::filesystem::path(paths.front())).isMidiFile()) {
        bankFiles_.openFile(paths.front(), selection_.bank());
        return;
    }
    const DocumentOperation operation(document_, Command::import);
    if (!operation) {
        return;
    }
    if (bank >= 0 && bank < DvVaneto::bankTotal && bank != selection_.bank()) {
        selection_.selectBank(bank);
    }
    importFile(paths.front(), selection_.bank(), SampleImport::Options{});
}

void ImportController::importFile(const std::string& path, int bank,
                                  const SampleImport::Options& options) {
    if (bank < 0) {
        return;
    }
    if (!document_.banks().isSingleSample(bank)) {
        importWaves(path, bank);
    } else {
        importSample(path, bank, options);
    }
}

void ImportController::importSample(const std::string& path, int bank,
                                    const SampleImport::Options& options) {
    SampleImport::Result result = SampleImport::load(path, options);
    if (SampleImport::isImported(result.outcome)) {
        // A sound longer than the bank can be imported again from another start.
        const bool longer =
            result.sourceRate > 0 && static_cast<double>(result.sourceFrames) / result.sourceRate >
                                         SampleImport::bankValues / SampleImport::targetRate;
        document_.change(
            {Command::import, importLabel(path, bank), {BankHistory::wholeBank(bank)}},
            [&](DvVaneto& store, BankDocument::Origins& origins) {
                SampleImport::applyTo(result, store, bank);
                BankOrigin& origin = origins[static_cast<std::size_t>(bank)];
                origin.line = SampleImport::describeSource(result) +
                              (result.madeSingleSample
                                   ? "; " + std::string(SampleImport::madeSingleSampleText)
                                   : std::string());
                origin.longerSource =
                    longer && result.outcome != SampleImport::Outcome::importedRaw ? path : "";
                origin.start = result.sourceRate > 0
                                   ? static_cast<double>(result.startFrame) / result.sourceRate
                                   : 0.0;
                return true;
            });
    } else if (result.outcome == SampleImport::Outcome::unsupported) {
        view_.messageBox(std::string(SampleImport::unsupportedText), wrongFormatCaption,
                         EditorView::Buttons::Ok, EditorView::Icon::Information);
    } else if (result.outcome == SampleImport::Outcome::damaged) {
        view_.messageBox("The file " + quoted(displayFileName(path)) +
                             " is damaged, and nothing was imported:\n" + result.reason,
                         wrongFormatCaption, EditorView::Buttons::Ok,
                         EditorView::Icon::Information);
    } else {
        view_.messageBox("The file " + quoted(displayFileName(path)) + " could not be opened:\n" +
                             result.reason,
                         appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
    }
}

void ImportController::importWaves(const std::string& path, int bank) {
    // One cycle or a table, from the selected slot on: the file's own frame size when it
    // states one, otherwise the user's choice.
    WavetableSource source;
    std::string error;
    if (!source.open(path, error)) {
        view_.messageBox(error, wrongFormatCaption, EditorView::Buttons::Ok,
                         EditorView::Icon::Information);
        return;
    }
    const WavetableSource::Split stated = source.split(0);
    std::size_t frameSize = stated.stated ? stated.frameSize : 0;
    if (!stated.stated) {
        const auto frames = static_cast<std::size_t>(source.frameCount());
        const std::optional<std::size_t> chosen =
            view_.chooseFrameSize(frames, suggestedFrameSize(frames));
        if (!chosen) {
            return;
        }
        if (*chosen == EditorView::resynthesizeChoice) {
            resynthesize(path, bank);
            return;
        }
        frameSize = *chosen;
    }
    const int slot = selection_.slot();
    WavetableImport::Result result;
    document_.change({Command::import, importLabel(path, bank), {BankHistory::wholeBank(bank)}},
                     [&](DvVaneto& store, BankDocument::Origins& origins) {
                         if (frameSize == 0) {
                             result = WavetableImport::importCycle(path, store, bank, slot, false);
                         } else {
                             WavetableImport::Options options;
                             options.frameSize = frameSize;
                             options.firstSlot = slot;
                             result = WavetableImport::importTable(path, store, bank, options);
                         }
                         std::string said;
                         for (const std::string& note : result.notes) {
                             said += (said.empty() ? "" : "; ") + note;
                         }
                         origins[static_cast<std::size_t>(bank)] = {said, "", 0.0};
                         return result.ok;
                     });
    if (!result.ok) {
        const bool oneCycle = result.remedy == WavetableImport::Result::Remedy::oneCycle;
        view_.messageBox(result.error + (oneCycle ? ".\nTake it as one cycle instead." : ""),
                         wrongFormatCaption, EditorView::Buttons::Ok,
                         EditorView::Icon::Information);
    }
}

bool ImportController::canChoosePart() const {
    return !document_.origin(selection_.bank()).longerSource.empty();
}

void ImportController::choosePart() {
    const int bank = selection_.bank();
    const DocumentOperation operation(document_, Command::import);
    if (!operation || !canChoosePart()) {
        return;
    }
    const std::string path = document_.origin(bank).longerSource;
    double seconds = 0.0;
    const auto columns = readOverview(path, seconds);
    if (!columns) {
        return;
    }
    const double partSeconds = SampleImport::bankValues / SampleImport::targetRate;
    const auto preview = [this, path](double start) {
        if (!preview_.available()) {
            return;
        }
        SampleImport::Options options;
        options.startSeconds = start;
        SampleImport::Result part = SampleImport::load(path, options);
        if (SampleImport::isImported(part.outcome)) {
            preview_.playValues(std::move(part.values));
        }
    };
    const std::optional<double> start =
        view_.choosePart(*columns, seconds, partSeconds, document_.origin(bank).start, preview);
    preview_.stop();
    if (start) {
        SampleImport::Options options;
        options.startSeconds = std::max(0.0, *start);
        importFile(path, bank, options);
    }
}

std::optional<std::vector<std::pair<float, float>>>
ImportController::readOverview(const std::string& path, double& seconds) {
    SourceOverview overview;
    const std::string what = "Reading " + displayFileName(path) + "...";
    const bool read =
        overview.compute(path, 1000, [this, &what](std::uint64_t done, std::uint64_t total) {
            return view_.showReading(what, done, total);
        });
    view_.showReading(what, 1, 1);
    if (!read) {
        if (!overview.error.empty()) {
            view_.messageBox("The file " + quoted(displayFileName(path)) + " could not be read:\n" +
                                 overview.error,
                             appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
        }
        return std::nullopt;
    }
    seconds = overview.seconds;
    std::vector<std::pair<float, float>> columns;
    columns.reserve(overview.columns.size());
    for (const SourceOverview::Column& column : overview.columns) {
        columns.emplace_back(column.low, column.high);
    }
    return columns;
}

void ImportController::resynthesize(const std::string& path, int bank) {
    double seconds = 0.0;
    const auto columns = resynthesisView_ != nullptr ? readOverview(path, seconds) : std::nullopt;
    if (!columns) {
        return;
    }
    // The dialog computes the waves off this thread, the first time with the pitch over the
    // whole sound and the span it offers; OK takes the waves it showed.
    ResynthesisView::Setup setup;
    setup.fileName = displayFileName(path);
    setup.overview = *columns;
    setup.seconds = seconds;
    setup.options.firstSlot = selection_.slot();
    setup.compute = [path](const WaveResynthesis::Options& options) {
        return WaveResynthesis::make(path, options);
    };
    setup.play = [this](const WaveResynthesis::Result& waves) {
        preview_.playValues(WaveTone::renderScan(waves.waves,
                                                 WaveTone::frequencyOf(preview_.note()),
                                                 waves.endSeconds - waves.startSeconds));
    };
    const std::optional<WaveResynthesis::Result> chosen =
        resynthesisView_->chooseResynthesis(setup);
    preview_.stop();
    if (!chosen || !chosen->ok) {
        return;
    }
    const WaveResynthesis::Result& result = *chosen;
    document_.change({Command::import, importLabel(path, bank), {BankHistory::wholeBank(bank)}},
                     [&](DvVaneto& store, BankDocument::Origins& origins) {
                         WavetableImport::Options placing;
                         placing.firstSlot = result.firstSlot;
                         WavetableImport::place(result.waves, result.names, store, bank, placing);
                         origins[static_cast<std::size_t>(bank)] = {
                             "resynthesized: " + result.summary(), "", 0.0};
                         return true;
                     });
}
