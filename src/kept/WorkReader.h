#pragma once

#include "document/BankDocument.h"
#include "kept/WorkFolder.h"
#include "kept/WorkJournal.h"
#include "kept/WorkState.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A kept state read back from the disk into a document of its own: its journal played record
// by record (streamed, never the whole file at once), or, when that has no record that plays,
// the bank file of its last quit (the banks without their history).
class WorkReader {
public:
    enum class Ending { quit, crash, open };
    struct State {
        bool ok = false;
        std::string error; // why it does not read
        std::unique_ptr<BankDocument> document;
        WorkState::Selection selection;
        std::uint64_t generation = 0;
        std::uint64_t sequence = 0; // of its last record
        Ending ending = Ending::crash;
        bool historyDropped = false;
        std::vector<int> changed; // banks that differ from the factory image
        std::size_t steps = 0;    // steps to undo and redo
    };

    // Reads the journal alone (as its writer compacts it).
    static State readJournal(WorkFiles& files, const std::filesystem::path& path);
    // Reads a state of the folder.
    static State read(const WorkFolder& folder, const WorkFolder::State& state);

    static const char* name(Ending ending);
    // What compacts a journal on its writer's thread: the journal read back and snapshotted.
    static WorkJournal::Compactor compactor(WorkFiles& files);
};
