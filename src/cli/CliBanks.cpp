#include "cli/CliBanks.h"

#include "app/BankFile.h"
#include "app/SampleImport.h"
#include "device/DvVaneto.h"

namespace CliBanks {

bool loadBankFile(const std::filesystem::path& path, DvVaneto& store, std::vector<int>& banks,
                  std::string& error) {
    const BankFile::ReadResult result = BankFile::load(path, store, banks);
    if (result != BankFile::ReadResult::ok) {
        error = BankFile::describe(result, path);
        return false;
    }
    return true;
}

bool importAudio(const std::filesystem::path& path, DvVaneto& store, int bank, std::string& error,
                 std::string* source) {
    const SampleImport::Result result = SampleImport::importInto(path, store, bank);
    switch (result.outcome) {
    case SampleImport::Outcome::importedAiff:
    case SampleImport::Outcome::importedWave:
    case SampleImport::Outcome::importedRaw:
        if (source != nullptr) {
            *source = SampleImport::describeSource(result);
        }
        return true;
    case SampleImport::Outcome::unsupported:
        error = path.string() + ": " + std::string(SampleImport::wrongFormatCaption) + "\n" +
                std::string(SampleImport::unsupportedText);
        return false;
    case SampleImport::Outcome::couldNotOpen:
        break;
    }
    error = "cannot open " + path.string() + ": " + result.reason;
    return false;
}

} // namespace CliBanks
