#include "kept/WorkReader.h"

#include "files/BankFile.h"
#include "device/DvVaneto.h"

namespace {

void summarize(WorkReader::State& state) {
    state.changed = WorkState::changedBanks(state.document->banks());
    state.steps = state.document->history().steps();
}

} // namespace

WorkReader::State WorkReader::readJournal(WorkFiles& files, const std::filesystem::path& path) {
    State state;
    state.document = std::make_unique<BankDocument>();
    bool any = false;
    bool ended = false;
    const WorkJournal::Contents contents = WorkJournal::read(
        files, path, [&](std::uint64_t sequence, std::span<const std::uint8_t> payload) {
            // A journal begins with a snapshot; a record that does not play
            // ends the reading.
            const WorkState::Kind kind = WorkState::kindOf(payload);
            if ((!any && kind != WorkState::Kind::snapshot) ||
                !WorkState::replay(payload, *state.document, state.selection,
                                   state.historyDropped)) {
                return false;
            }
            any = true;
            ended = kind == WorkState::Kind::end;
            state.sequence = sequence;
            return true;
        });
    state.generation = contents.generation;
    if (!any) {
        state.error = contents.readable ? "its journal holds no state" : contents.error;
        return state;
    }
    state.ok = true;
    state.ending = ended ? Ending::quit : Ending::crash;
    summarize(state);
    return state;
}

WorkReader::State WorkReader::read(const WorkFolder& folder, const WorkFolder::State& kept) {
    State state;
    if (kept.newer) {
        state.error = kept.damaged; // not even its bank file: it may be older than the journal
        return state;
    }
    if (kept.journal) {
        state = readJournal(folder.files(), folder.journal(kept.id));
    }
    if (!state.ok) {
        // The bank file of the last quit: the banks without their history.
        auto document = std::make_unique<BankDocument>();
        bool loaded = false;
        document->restore(DvVaneto::allBanks(), [&](DvVaneto& banks, BankDocument::Origins&) {
            std::vector<int> banksRead;
            loaded = BankFile::load(folder.bankFile(kept.id), banks, banksRead) ==
                         BankFile::ReadResult::ok &&
                     !banksRead.empty();
            return loaded;
        });
        if (!loaded) {
            if (state.error.empty()) {
                state.error = "neither its journal nor its bank file reads";
            }
            return state;
        }
        state = State{};
        state.ok = true;
        state.document = std::move(document);
        state.historyDropped = true;
        state.ending = Ending::quit;
        state.generation = kept.generation;
        summarize(state);
    }
    if (kept.running) {
        state.ending = Ending::open;
    }
    return state;
}

const char* WorkReader::name(Ending ending) {
    switch (ending) {
    case Ending::quit:
        return "quit";
    case Ending::open:
        return "open";
    case Ending::crash:
        break;
    }
    return "crash";
}

WorkJournal::Compactor WorkReader::compactor(WorkFiles& files) {
    return [&files](const std::filesystem::path& path, bool keepEnd,
                    std::vector<WorkJournal::Record>& records) {
        State state = readJournal(files, path);
        if (!state.ok) {
            return false;
        }
        const bool ended = state.ending == Ending::quit;
        records.push_back({state.sequence - (ended ? 1 : 0),
                           WorkState::snapshot(*state.document, state.selection)});
        if (ended && keepEnd) {
            records.push_back({state.sequence, WorkState::end(state.selection)});
        }
        return true;
    };
}
