#include "cli/commands/ListCommand.h"

#include "files/Utf8Text.h"
#include "files/WaveformPeaks.h"

#include "files/BankFile.h"
#include "cli/CliArguments.h"
#include "device/DvBankMessages.h"
#include "device/DvVaneto.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

namespace {

// Number of whole values the last data message of a track holds (what the file carries, even
// when the bank takes a different number).
std::size_t valueCount(const LoMidiEventList& events) {
    std::size_t count = 0;
    for (const LoMidiEvent& event : events) {
        if (DvBankMessages::isDataMessage(event)) {
            count = DvBankMessages::dataValueCount(event);
        }
    }
    return count;
}

// A name on one line of tab-separated text: control characters become spaces.
std::string plainText(std::string text) {
    for (char& ch : text) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
            ch = ' ';
        }
    }
    return text;
}

std::string formatDbfs(double dbfs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", dbfs);
    const std::string result = text;
    return result == "-0.00" ? "0.00" : result;
}

} // namespace

bool ListCommand::peakDbfs(std::span<const std::int16_t> values, double& dbfs) {
    return WaveformPeaks::levels(values).peakDbfs(dbfs);
}

std::string ListCommand::jsonString(const std::string& bytes) {
    const bool utf8 = isValidUtf8(bytes);
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && !utf8)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

void ListCommand::listSlots(const DvVaneto& store, int bank, bool json) {
    if (store.isSingleSample(bank)) {
        context_.err << "vaneto list: bank " << bank + 1 << " holds one sample: its slots are "
                     << "pieces of 256 values, and only slot 1 has a name of its own\n";
    }
    const auto values = store.bankData(bank);
    constexpr std::size_t waveLength = DvVaneto::waveLength;
    if (json) {
        context_.out << '[';
    }
    for (std::size_t slot = 0; slot * waveLength < values.size(); ++slot) {
        const std::string name = store.sampleName(bank, static_cast<int>(slot));
        double dbfs = 0.0;
        const bool sounding = peakDbfs(values.subspan(slot * waveLength, waveLength), dbfs);
        if (json) {
            context_.out << (slot == 0 ? "\n  " : ",\n  ") << "{\"slot\": " << slot + 1
                         << ", \"name\": " << jsonString(name)
                         << ", \"peakDbfs\": " << (sounding ? formatDbfs(dbfs) : "null") << '}';
        } else {
            context_.out << slot + 1 << '\t' << plainText(name) << '\t'
                         << (sounding ? formatDbfs(dbfs) : "-inf") << '\n';
        }
    }
    if (json) {
        context_.out << "\n]\n";
    }
}

namespace {

constexpr CliOption commandOptions[] = {{.name = "--json"}, bankOption("--slots")};

} // namespace

std::span<const CliOption> ListCommand::options() {
    return commandOptions;
}

int ListCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(commandOptions, 1);
    const std::string file = parsed.positional(0);
    const bool json = parsed.given("--json");
    const int slotsOf = parsed.number("--slots").value_or(0) - 1;
    if (args.ok() && file.empty()) {
        args.fail("no bank file given");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }

    std::vector<BankFile::Track> tracks;
    BankFile::Damage damage;
    const BankFile::ReadResult result = BankFile::readIntact(file, tracks, damage);
    if (result != BankFile::ReadResult::ok) {
        return context_.failure("list", BankFile::describe(result, file));
    }
    if (damage.stoppedAt != 0) {
        if (tracks.empty()) {
            return context_.failure("list", BankFile::describeDamage(file, damage, tracks));
        }
        context_.err << "vaneto list: " << BankFile::describeDamage(file, damage, tracks) << '\n';
    } else if (tracks.empty()) {
        return context_.failure("list", file + " holds no banks");
    }

    auto store = std::make_unique<DvVaneto>();
    if (slotsOf >= 0) {
        const auto track =
            std::find_if(tracks.begin(), tracks.end(),
                         [&](const BankFile::Track& t) { return t.bank == slotsOf; });
        if (track == tracks.end()) {
            return context_.failure("list", file + " holds no bank " + std::to_string(slotsOf + 1));
        }
        store->loadBank(track->events, slotsOf);
        listSlots(*store, slotsOf, json);
        return cliOk;
    }
    if (json) {
        context_.out << '[';
    }
    bool first = true;
    for (const BankFile::Track& track : tracks) {
        store->loadBank(track.events, track.bank);
        const std::string name = store->bankName(track.bank);
        const std::string sample = store->sampleName(track.bank, 0);
        const std::size_t values = valueCount(track.events);
        double dbfs = 0.0;
        const bool sounding = peakDbfs(store->bankData(track.bank), dbfs);
        if (json) {
            context_.out << (first ? "\n  " : ",\n  ") << "{\"bank\": " << track.bank + 1
                         << ", \"name\": " << jsonString(name)
                         << ", \"sample\": " << jsonString(sample) << ", \"values\": " << values
                         << ", \"peakDbfs\": " << (sounding ? formatDbfs(dbfs) : "null") << '}';
        } else {
            context_.out << track.bank + 1 << '\t' << plainText(name) << '\t' << plainText(sample)
                         << '\t' << values << '\t' << (sounding ? formatDbfs(dbfs) : "-inf")
                         << '\n';
        }
        first = false;
    }
    if (json) {
        context_.out << (first ? "]\n" : "\n]\n");
    }
    return cliOk;
}
