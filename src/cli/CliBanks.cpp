#include "cli/CliBanks.h"

#include "files/BankFile.h"
#include "files/SampleImport.h"
#include "device/DvVaneto.h"

#include <algorithm>

namespace CliBanks {

bool loadBankFile(const std::filesystem::path& path, DvVaneto& store, std::vector<int>& banks,
                  std::string& error, std::string& warning) {
    banks.clear();
    warning.clear();
    std::vector<BankFile::Track> tracks;
    BankFile::Damage damage;
    const BankFile::ReadResult result = BankFile::readIntact(path, tracks, damage);
    if (result != BankFile::ReadResult::ok) {
        error = BankFile::describe(result, path);
        return false;
    }
    if (damage.stoppedAt != 0) {
        warning = BankFile::describeDamage(path, damage, tracks);
    }
    if (tracks.empty()) {
        error = damage.stoppedAt != 0 ? warning : path.string() + " holds no banks";
        warning.clear();
        return false;
    }
    for (const BankFile::Track& track : tracks) {
        store.loadBank(track.events, track.bank);
        banks.push_back(track.bank);
    }
    return true;
}

bool importAudio(const std::filesystem::path& path, DvVaneto& store, int bank, std::string& error,
                 std::string* source, const SampleImport::Options& part) {
    const SampleImport::Result result = SampleImport::importInto(path, store, bank, part);
    switch (result.outcome) {
    case SampleImport::Outcome::importedAiff:
    case SampleImport::Outcome::importedWave:
    case SampleImport::Outcome::importedRaw:
    case SampleImport::Outcome::importedCompressed:
        if (source != nullptr) {
            *source = SampleImport::describeSource(result);
            if (result.madeSingleSample) {
                *source += "; " + std::string(SampleImport::madeSingleSampleText);
            }
        }
        return true;
    case SampleImport::Outcome::unsupported:
        error = path.string() + ": " + result.found + "\n" +
                std::string(SampleImport::wrongFormatCaption) + ": " +
                std::string(SampleImport::unsupportedText);
        return false;
    case SampleImport::Outcome::damaged:
        error = path.string() + " is damaged: " + result.reason + "\n" +
                std::string(SampleImport::wrongFormatCaption) + ": nothing was imported";
        return false;
    case SampleImport::Outcome::startPastEnd:
        error = path.string() + ": the start asked for lies after the end of the sound (" +
                std::to_string(result.sourceFrames) + " frames); nothing was imported";
        return false;
    case SampleImport::Outcome::couldNotOpen:
        break;
    }
    error = "cannot open " + path.string() + ": " + result.reason;
    return false;
}

SourceResult loadSource(const std::filesystem::path& path, DvVaneto& store, int bank,
                        std::string& error) {
    std::vector<int> loaded;
    const BankFile::ReadResult read = BankFile::load(path, store, loaded);
    if (read == BankFile::ReadResult::notMidiFile) {
        if (bank < 0) {
            return SourceResult::audioNeedsBank;
        }
        return importAudio(path, store, bank, error) ? SourceResult::ok : SourceResult::failed;
    }
    if (read != BankFile::ReadResult::ok) {
        error = BankFile::describe(read, path);
    } else if (loaded.empty()) {
        error = path.string() + " holds no banks";
    } else if (bank >= 0 && std::find(loaded.begin(), loaded.end(), bank) == loaded.end()) {
        error = path.string() + " holds no bank " + std::to_string(bank + 1);
    } else {
        return SourceResult::ok;
    }
    return SourceResult::failed;
}

} // namespace CliBanks
