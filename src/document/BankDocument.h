#pragma once

#include "document/BankHistory.h"
#include "document/BankOrigin.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class DvVaneto;

// The editor's banks as one document: the bank store, the history of changes and where each
// bank's sound came from. Every change of the banks goes through `change` (or a drag, a change
// that follows the pointer): it refuses what the current state forbids, records the step,
// applies it and tells the observers. Nothing else writes the store.
//
// Busy comes in two parts: a transfer (set on the GUI thread when it starts, cleared by the
// worker as its last step) and at most one operation on the GUI thread (a bank file, an import,
// a drag), during which the dialog's message boxes and file dialogs run the event loop. One
// table says which command may start in which state.
//
// Threads: everything but endTransfer, transferring and the store's name getters belongs to the
// GUI thread. A transfer's worker reads the store (values, names under its lock) and nothing
// else; the table keeps the values unchanged while it runs.
class BankDocument {
public:
    enum class Command {
        select,       // a bank or a slot
        rename,       // a bank's or a slot's name
        layout,       // one sample or 256 waves
        reset,        // Reset to Default
        import,       // Open..., a drop, Choose Part...
        openBankFile, // Open from Disk..., a dropped bank file
        saveBankFile, // Save to Disk...
        exportWaves,  // a wave bank as a WAV file
        send,         // Send to Vaneto
        edit,         // an operation on a bank's values, a paste
        drag,         // a stroke or a harmonic drag
        undoValues,   // undo or redo of a step that changes values
        undoNames,    // undo or redo of a step that changes only names or layout
        play,         // Play, a note, a part's preview
    };
    enum class Operation { none, file, import, drag };

    // The table: whether the command may start while a transfer runs (or not) and the GUI
    // thread is in the operation.
    static bool allowed(Command command, bool transfer, Operation operation);
    // The same for the document's state now.
    bool allows(Command command) const;
    // The operation a command runs in (none for a command that runs in none).
    static Operation operationOf(Command command);

    // What observers hear: a step recorded and applied, a drag's move inside its step, a step
    // taken back or forward, a drag cancelled, banks replaced without a step.
    struct Event {
        enum class Kind { step, moved, undo, redo, cancelled, restored } kind;
        std::vector<int> banks;
        bool namesOnly = false; // a step that changed names only, no values, no layout
        // A step: what it is called and what it changed.
        std::string label;
        std::vector<BankHistory::Part> parts;
    };
    using Observer = std::function<void(const Event&)>;
    using Origins = BankHistory::Origins;
    // Writes the change; answers false when it changed nothing (the document then puts back
    // whatever it wrote and forgets the step).
    using Apply = std::function<bool(DvVaneto& store, Origins& origins)>;

    struct Change {
        Command command = Command::edit;
        std::string label; // "import of pluck.wav into bank 4"
        std::vector<BankHistory::Part> parts;
    };

    explicit BankDocument(std::size_t historyLimit = BankHistory::defaultLimit);
    ~BankDocument();
    BankDocument(const BankDocument&) = delete;
    BankDocument& operator=(const BankDocument&) = delete;

    const DvVaneto& banks() const { return *store_; }
    const BankOrigin& origin(int bank) const;
    const BankHistory& history() const { return *history_; }

    void addObserver(Observer observer);
    // Hears why a command was refused because of the editor's own busy state (a drag, a file,
    // an import); refusals during a transfer stay silent.
    void setRefusalListener(std::function<void(const std::string& why)> listener) {
        refusal_ = std::move(listener);
    }
    // Says why the command cannot start now (to the refusal listener), unless it can or a
    // transfer is the reason.
    void refuse(Command command) const;

    // One step: false when refused, or when apply changed nothing.
    bool change(const Change& change, const Apply& apply);
    // Replaces banks without a step (a test's setup, a store's content): the history stays.
    void restore(const std::vector<int>& banks, const Apply& apply);
    // Takes over another document's banks, origins and history as they stand (kept work
    // restored): not a step of its own. Refused during a transfer or an operation.
    bool adopt(BankDocument& other);
    // The history, for replaying kept work into a document of its own.
    BankHistory& history() { return *history_; }

    // A drag: one step from its beginning, moved as the pointer moves, kept at its end or put
    // back as a whole. While it is open, undo and redo are refused.
    bool beginDrag(const Change& change);
    bool dragTo(const Apply& apply);
    void endDrag();
    void cancelDrag();
    bool dragging() const { return operation_ == Operation::drag; }

    bool undo();
    bool redo();

    // The GUI thread's one operation at a time: false when another runs or the table refuses.
    bool beginOperation(Operation operation);
    void endOperation();
    Operation operation() const { return operation_; }

    // The transfer: begun on the GUI thread (false when refused), ended by the worker.
    bool beginTransfer();
    void endTransfer() { transfer_.store(false); }
    bool transferring() const { return transfer_.load(); }

private:
    void tell(const Event& event);
    bool step(bool forward);

    std::unique_ptr<DvVaneto> store_;
    Origins origins_;
    std::unique_ptr<BankHistory> history_;
    std::vector<Observer> observers_;
    std::function<void(const std::string&)> refusal_;
    Operation operation_ = Operation::none;
    std::atomic<bool> transfer_{false};
    // The drag's step and its banks.
    std::uint64_t dragStep_ = 0;
    Change dragChange_;
    std::vector<int> dragBanks_;
};

// The operation of a command for as long as it lives; false when the table refuses the command
// now or another operation runs.
class DocumentOperation {
public:
    DocumentOperation(BankDocument& document, BankDocument::Command command)
        : document_(document), begun_(document.allows(command) &&
                                      document.beginOperation(BankDocument::operationOf(command))) {
        if (!begun_) {
            document.refuse(command);
        }
    }
    ~DocumentOperation() {
        if (begun_) {
            document_.endOperation();
        }
    }
    DocumentOperation(const DocumentOperation&) = delete;
    DocumentOperation& operator=(const DocumentOperation&) = delete;
    explicit operator bool() const { return begun_; }

private:
    BankDocument& document_;
    bool begun_;
};
