#pragma once

#include "document/BankDocument.h"
#include "kept/WorkFolder.h"
#include "kept/WorkJournal.h"
#include "kept/WorkReader.h"
#include "kept/WorkState.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Keeps the editor's work as it changes, so that nothing is lost to Esc, a crash or a power cut:
// every step, undo and redo goes into the journal of this run's state when it ends (a stroke at
// its release), from the journal's own thread, which also compacts it as it grows. At quit the
// journal is compacted into one snapshot and the banks are written beside it as a bank file.
//
// At start it finds the newest ended state not yet answered (restored or dismissed) and offers
// it when its banks differ from the factory image; the offer stands until it is answered. Any
// kept state can be restored: it is taken over (its lock, then what its files hold at that
// moment) after this run's own work has been kept as a state of its own.
//
// Everything but the journal's writing runs on the GUI thread.
class WorkKeeper {
public:
    using Selection = WorkState::Selection;
    struct Listed {
        WorkFolder::State state;
        bool reads = false;
        std::string error; // why it does not read
        WorkReader::Ending ending = WorkReader::Ending::crash;
        std::vector<std::string> changed; // the names of the banks it changed
        std::size_t steps = 0;
    };

    // selection: the selected bank and slot now.
    WorkKeeper(BankDocument& document, std::filesystem::path folder,
               std::function<Selection()> selection, WorkFiles& files = WorkFiles::system());
    ~WorkKeeper();
    WorkKeeper(const WorkKeeper&) = delete;
    WorkKeeper& operator=(const WorkKeeper&) = delete;

    // Prepares the folder, drops old states and finds the state to offer.
    void start();

    // "The banks as you left them on 9 Dec 14:02 can be restored (3 banks changed)." while
    // there is something to offer; empty otherwise.
    std::string offer() const;
    // Every kept state but this run's, newest first, each read.
    std::vector<Listed> list() const;
    // One state of a folder, read.
    static Listed describe(const WorkFolder& folder, const WorkFolder::State& state);
    // A state as a line of a list.
    struct Row {
        std::string id;
        std::string when;   // "2026-12-09 14:02:11", local time
        std::string ending; // "quit", "crash", "open in another editor", or why it does not read
        std::string banks;  // the names of the banks it changed
        std::size_t steps = 0;
        bool reads = false;
    };
    static Row row(const Listed& listed);
    // Brings a state back (every field) and takes it over: the offered one, the newest that
    // reads, or one by its id. False when there is none, during a transfer or an operation,
    // when another editor holds it or when it does not read (takeNotice says why).
    bool restoreOffered(Selection& selection);
    bool restoreNewest(Selection& selection);
    bool restore(const std::string& id, Selection& selection);
    // Hides the offer and marks its state answered; the files stay.
    void dismiss();

    // A note for the panel's line, said once: a state could not be read or restored.
    std::string takeNotice();
    // While the work is not being kept: why ("No space left on device"). Empty while all goes
    // well.
    const std::string& failure() const { return failure_; }
    // Notices a failure of the journal's writing.
    void poll();

    // At quit: what is pending written and synced, the journal compacted and the bank file
    // written, within `limit`. False when changes of this run are left unkept (unkept() says
    // why).
    bool finish(std::chrono::milliseconds limit);
    const std::string& unkept() const { return unkept_; }

    // The records of this state so far (each step, undo and redo is one), and the highest of
    // them on disk.
    std::uint64_t recorded() const { return sequence_; }
    std::uint64_t durable() const { return journal_.durable(); }
    std::uint64_t compactions() const { return journal_.compactions(); }
    // How often the journal is synced at most (tests make it short).
    void setSyncInterval(std::chrono::milliseconds interval) { journal_.setSyncInterval(interval); }
    const std::string& stateId() const { return folder_.claimed(); }
    const WorkFolder& folder() const { return folder_; }

private:
    struct Offered {
        WorkFolder::State state;
        WorkReader::State read; // as read at start: taken when its files are still the same
    };
    void documentChanged(const BankDocument::Event& event);
    // Begins a journal of this run's state with a snapshot of the document as it stands.
    void beginState();
    // This run's state compacted and ended, its lock given up.
    bool endState(std::chrono::milliseconds limit);
    void notKept(const std::string& why);

    BankDocument& document_;
    WorkFiles& files_;
    WorkFolder folder_;
    std::function<Selection()> selection_;
    WorkJournal journal_;
    std::optional<Offered> offered_;
    std::uint64_t sequence_ = 0;
    bool usable_ = false;   // the folder is there and ours
    bool adopting_ = false; // the document's own event of a restore
    bool changed_ = false;  // this run changed the banks since its state was last kept whole
    std::string failure_;
    std::uint64_t retried_ = 0; // the snapshot that keeps the work again after a failure
    std::string notice_;
    std::string unkept_;
};
