#include "document/BankDocument.h"

#include "device/DvVaneto.h"

#include <algorithm>
#include <iterator>

namespace {

using Command = BankDocument::Command;
using Operation = BankDocument::Operation;

// Which command may start in which state. Commands not listed during an operation are refused
// then; every command may start while the GUI thread is free and no transfer runs.
struct Row {
    Command command;
    bool transfer, file, import, drag;
};
constexpr Row table[] = {
    // command               transfer file   import drag
    {Command::select, /*   */ true, true, true, true},
    {Command::rename, /*   */ true, true, true, false},
    {Command::layout, /*   */ true, false, false, false},
    {Command::reset, /*    */ false, false, false, false},
    {Command::import, /*   */ false, false, false, false},
    {Command::openBankFile, false, false, false, false},
    {Command::saveBankFile, false, false, false, false},
    {Command::exportWaves, true, false, false, false},
    {Command::send, /*     */ false, false, false, false},
    {Command::edit, /*     */ false, false, false, false},
    {Command::drag, /*     */ false, false, false, false},
    {Command::undoValues, false, false, false, false},
    {Command::undoNames, true, false, false, false},
    {Command::play, /*     */ true, true, true, true},
};

} // namespace

Operation BankDocument::operationOf(Command command) {
    switch (command) {
    case Command::import:
        return Operation::import;
    case Command::openBankFile:
    case Command::saveBankFile:
    case Command::exportWaves:
        return Operation::file;
    case Command::drag:
        return Operation::drag;
    default:
        return Operation::none;
    }
}

bool BankDocument::allowed(Command command, bool transfer, Operation operation) {
    const auto row = std::find_if(std::begin(table), std::end(table),
                                  [command](const Row& r) { return r.command == command; });
    if (row == std::end(table)) {
        return false;
    }
    if (transfer && !row->transfer) {
        return false;
    }
    switch (operation) {
    case Operation::none:
        return true;
    case Operation::file:
        return row->file;
    case Operation::import:
        return row->import;
    case Operation::drag:
        return row->drag;
    }
    return false;
}

bool BankDocument::allows(Command command) const {
    return allowed(command, transfer_.load(), operation_);
}

BankDocument::BankDocument(std::size_t historyLimit)
    : store_(std::make_unique<DvVaneto>()),
      history_(std::make_unique<BankHistory>(*store_, historyLimit, &origins_)) {}

BankDocument::~BankDocument() = default;

const BankOrigin& BankDocument::origin(int bank) const {
    static const BankOrigin none;
    return bank >= 0 && bank < static_cast<int>(origins_.size())
               ? origins_[static_cast<std::size_t>(bank)]
               : none;
}

void BankDocument::refuse(Command command) const {
    if (!refusal_ || transfer_.load() || allows(command)) {
        return;
    }
    switch (operation_) {
    case Operation::drag:
        refusal_("not now: a drag on a wave is under way");
        break;
    case Operation::file:
        refusal_("not now: a bank file is being read or written");
        break;
    case Operation::import:
        refusal_("not now: an import is under way");
        break;
    case Operation::none:
        break;
    }
}

void BankDocument::addObserver(Observer observer) {
    observers_.push_back(std::move(observer));
}

void BankDocument::tell(const Event& event) {
    for (const Observer& observer : observers_) {
        observer(event);
    }
}

namespace {

std::vector<int> banksOf(const std::vector<BankHistory::Part>& parts) {
    std::vector<int> banks;
    for (const BankHistory::Part& part : parts) {
        if (std::find(banks.begin(), banks.end(), part.bank) == banks.end()) {
            banks.push_back(part.bank);
        }
    }
    return banks;
}

bool onlyNames(const std::vector<BankHistory::Part>& parts) {
    return std::all_of(parts.begin(), parts.end(), [](const BankHistory::Part& part) {
        return part.count == 0 && !part.layout;
    });
}

} // namespace

bool BankDocument::change(const Change& change, const Apply& apply) {
    // The command that began the operation goes on inside it.
    const Operation during =
        operation_ == operationOf(change.command) ? Operation::none : operation_;
    if (!allowed(change.command, transfer_.load(), during) || change.parts.empty()) {
        if (!change.parts.empty()) {
            refuse(change.command);
        }
        return false;
    }
    const std::uint64_t step = history_->record(change.label, change.parts);
    if (!apply(*store_, origins_)) {
        history_->revertLast(step); // the steps to redo come back
        return false;
    }
    history_->settle();
    tell({Event::Kind::step, banksOf(change.parts), onlyNames(change.parts), change.label,
          change.parts});
    return true;
}

void BankDocument::restore(const std::vector<int>& banks, const Apply& apply) {
    apply(*store_, origins_);
    tell({Event::Kind::restored, banks, false, {}, {}});
}

bool BankDocument::adopt(BankDocument& other) {
    if (transfer_.load() || operation_ != Operation::none) {
        return false;
    }
    for (const int bank : DvVaneto::allBanks()) {
        history_->put(other.history_->save(BankHistory::wholeBank(bank)));
    }
    history_->takeSteps(*other.history_);
    tell({Event::Kind::restored, DvVaneto::allBanks(), false, {}, {}});
    return true;
}

bool BankDocument::beginDrag(const Change& change) {
    if (!allows(Command::drag) || change.parts.empty() || !beginOperation(Operation::drag)) {
        refuse(Command::drag);
        return false;
    }
    dragStep_ = history_->record(change.label, change.parts);
    dragChange_ = change;
    dragBanks_ = banksOf(change.parts);
    tell({Event::Kind::moved, dragBanks_, false, {}, {}});
    return true;
}

bool BankDocument::dragTo(const Apply& apply) {
    if (!dragging()) {
        return false;
    }
    apply(*store_, origins_);
    tell({Event::Kind::moved, dragBanks_, false, {}, {}});
    return true;
}

void BankDocument::endDrag() {
    if (dragging()) {
        endOperation();
        history_->settle();
        tell({Event::Kind::step, dragBanks_, false, dragChange_.label, dragChange_.parts});
    }
}

void BankDocument::cancelDrag() {
    if (dragging()) {
        endOperation();
        // Only the drag's own step is taken back.
        history_->revertLast(dragStep_);
        tell({Event::Kind::cancelled, dragBanks_, false, {}, {}});
    }
}

bool BankDocument::step(bool forward) {
    const bool can = forward ? history_->canRedo() : history_->canUndo();
    const bool content = forward ? history_->redoIsContent() : history_->undoIsContent();
    if (!can || !allows(content ? Command::undoValues : Command::undoNames)) {
        if (can) {
            refuse(content ? Command::undoValues : Command::undoNames);
        }
        return false;
    }
    const std::vector<int> banks = forward ? history_->redo() : history_->undo();
    tell({forward ? Event::Kind::redo : Event::Kind::undo, banks, false, {}, {}});
    return true;
}

bool BankDocument::undo() {
    return step(false);
}

bool BankDocument::redo() {
    return step(true);
}

bool BankDocument::beginOperation(Operation operation) {
    if (operation_ != Operation::none || operation == Operation::none) {
        return false;
    }
    operation_ = operation;
    return true;
}

void BankDocument::endOperation() {
    operation_ = Operation::none;
}

bool BankDocument::beginTransfer() {
    if (!allows(Command::send)) {
        return false;
    }
    transfer_.store(true);
    return true;
}
