#pragma once

#include "app/BankDocument.h"
#include "app/WorkFolder.h"
#include "app/WorkJournal.h"
#include "app/WorkState.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Keeps the editor's work as it changes, so that nothing is lost to Esc, a crash or a power cut:
// every step, undo and redo goes into the journal of this run's state when it ends (a stroke at
// its release), from the journal's own thread. At quit the journal is compacted into one
// snapshot and the banks are written beside it as a bank file.
//
// At start it finds the newest ended state that reads and holds it ready: offered when its
// banks differ from the factory image, restored (and taken over, lock and files) on request.
// The first step of this run ends the offer and begins a state of its own.
//
// Everything but the journal's writing runs on the GUI thread.
class WorkKeeper {
public:
    using Selection = WorkState::Selection;
    static constexpr std::uint64_t journalLimit = std::uint64_t{1} << 30;

    // selection: the selected bank and slot now.
    WorkKeeper(BankDocument& document, std::filesystem::path folder,
               std::function<Selection()> selection);
    ~WorkKeeper();
    WorkKeeper(const WorkKeeper&) = delete;
    WorkKeeper& operator=(const WorkKeeper&) = delete;

    // Prepares the folder, drops old states and loads the newest ended one that reads.
    void start();

    // "The banks as you left them on 9 Dec 14:02 can be restored (3 banks changed)." while
    // there is something to offer; empty otherwise.
    std::string offer() const;
    // Brings the offered state back (every field) and takes it over; false when there is none,
    // during a transfer or an operation, or when another editor took it first.
    bool restore(Selection& selection);
    // Hides the offer; the files stay.
    void dismiss() { dismissed_ = true; }
    // What the panel's line should say once: the work is not kept, or the kept work could not
    // be read. Empty once said.
    std::string takeNotice();

    // At quit: what is pending written and synced, the journal compacted and the bank file
    // written, within `limit`. False when the limit passed first.
    bool finish(std::chrono::milliseconds limit);

    // The records of this state so far (each step, undo and redo is one), and the highest of
    // them on disk.
    std::uint64_t recorded() const { return sequence_; }
    std::uint64_t durable() const { return journal_.durable(); }
    // How often the journal is synced at most (tests make it short).
    void setSyncInterval(std::chrono::milliseconds interval) { journal_.setSyncInterval(interval); }
    const std::string& stateId() const { return folder_.claimed(); }

private:
    struct Candidate;
    void documentChanged(const BankDocument::Event& event);
    // Loads an ended state into a document of its own.
    std::unique_ptr<Candidate> load(const WorkFolder::State& state) const;
    // Begins this run's state with a snapshot of the document as it stands.
    bool beginState();
    void notKept(const std::string& why);

    BankDocument& document_;
    WorkFolder folder_;
    std::function<Selection()> selection_;
    WorkJournal journal_;
    std::unique_ptr<Candidate> candidate_;
    std::uint64_t sequence_ = 0;
    bool dismissed_ = false;
    bool stepped_ = false;  // a step of this run ended the offer
    bool adopting_ = false; // the document's own event of a restore
    bool failed_ = false;   // the work is not being kept
    std::string notice_;
};
