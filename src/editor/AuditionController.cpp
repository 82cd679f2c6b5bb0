#include "editor/AuditionController.h"

#include "audio/AudioFileSource.h"
#include "browse/SoundFolder.h"
#include "device/DvVaneto.h"
#include "editor/EditorView.h"
#include "editor/PreviewController.h"
#include "files/BankFile.h"
#include "files/SampleImport.h"
#include "files/Utf8Text.h"
#include "wavetable/WavetableImport.h"
#include "wavetable/WavetableSource.h"

#include <memory>

namespace {

// Files this short are single cycles in a wave bank.
constexpr std::uint64_t longestCycle = 4096;

} // namespace

AuditionController::AuditionController(EditorView& view, PreviewController& preview,
                                       std::function<void(const std::string&)> say)
    : view_(view), preview_(preview), say_(std::move(say)) {
    worker_ = std::make_unique<NewestWins<Request, Sound>>(
        &AuditionController::prepare, [this](int request, Sound sound) {
            view_.post([this, request, sound = std::move(sound)]() mutable {
                if (request == asked_) {
                    last_ = std::move(sound);
                    play();
                }
            });
        });
}

AuditionController::~AuditionController() {
    worker_.reset();
}

void AuditionController::audition(const Request& request) {
    asked_ = worker_->request(request);
}

void AuditionController::toggle() {
    if (preview_.isPlaying()) {
        preview_.stop();
    } else {
        play();
    }
}

void AuditionController::play() {
    say_(last_.line);
    if (last_.values.empty()) {
        preview_.stop();
    } else if (last_.tone) {
        preview_.playTone(-1, preview_.note(), last_.values);
    } else {
        preview_.playValues(last_.values);
    }
}

AuditionController::Sound AuditionController::prepare(const Request& request) {
    Sound sound;
    const std::string name = displayFileName(request.path);
    auto store = std::make_unique<DvVaneto>();
    const int bank = request.bank;
    if (SoundFolder::isBankFile(request.path)) {
        std::vector<int> banks;
        if (BankFile::load(request.path, *store, banks) != BankFile::ReadResult::ok ||
            banks.empty()) {
            sound.line = name + ": not a bank file the editor reads";
            return sound;
        }
        sound.line = name + ": a bank file of";
        for (const int b : banks) {
            sound.line += " " + std::to_string(b + 1) + " " + displayName(store->bankName(b)) +
                          (b == banks.back() ? "" : ",");
        }
        return sound;
    }
    if (request.waveLayout) {
        WavetableSource source;
        std::string error;
        if (source.open(request.path, error)) {
            const WavetableSource::Split split = source.split(0);
            WavetableImport::Result result;
            if (source.frameCount() <= longestCycle) {
                result = WavetableImport::importCycle(request.path, *store, bank, 0, false);
            } else if (split.stated) {
                WavetableImport::Options options;
                options.frameSize = split.frameSize;
                result = WavetableImport::importTable(request.path, *store, bank, options);
            }
            if (result.ok) {
                const auto wave = store->bankData(bank).first(DvVaneto::waveLength);
                sound.tone = true;
                sound.values.assign(wave.begin(), wave.end());
                sound.line = name + ": " + source.describe() +
                             (split.stated && source.frameCount() > longestCycle
                                  ? ", its first frame as a tone"
                                  : ", one cycle as a tone");
                return sound;
            }
        }
    }
    SampleImport::Result result = SampleImport::importInto(request.path, *store, bank);
    // Only what the import recognises as a sound is heard: never raw data (random bytes would
    // play at full scale), never a rate or a channel count that no sound has.
    if (result.outcome == SampleImport::Outcome::importedRaw) {
        sound.line = name + ": not a sound file";
        return sound;
    }
    if (std::string reason;
        SampleImport::isImported(result.outcome) &&
        !AudioFileSource::soundLike(result.sourceRate, result.sourceChannels, reason)) {
        sound.line = name + ": nothing to hear: " + reason;
        return sound;
    }
    if (!SampleImport::isImported(result.outcome)) {
        sound.line = name + ": nothing to hear: " +
                     (result.reason.empty() ? std::string("it is no audio the editor reads")
                                            : result.reason);
        return sound;
    }
    const auto values = store->bankData(bank);
    sound.values.assign(values.begin(), values.end());
    sound.line = name + ": " + SampleImport::describeSource(result) +
                 (request.waveLayout ? "; a recording: its first 1.486 s, as into one sample" : "");
    return sound;
}
