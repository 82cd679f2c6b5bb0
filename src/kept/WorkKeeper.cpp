#include "kept/WorkKeeper.h"

#include "device/DvVaneto.h"
#include "files/BankFile.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <utility>

WorkKeeper::WorkKeeper(BankDocument& document, std::filesystem::path folder,
                       std::function<Selection()> selection, WorkFiles& files)
    : document_(document), files_(files), folder_(std::move(folder), files),
      selection_(std::move(selection)), journal_(files) {
    document_.addObserver([this](const BankDocument::Event& event) { documentChanged(event); });
    journal_.setCompactor(WorkReader::compactor(files));
}

WorkKeeper::~WorkKeeper() = default;

void WorkKeeper::start() {
    std::string error;
    if (!folder_.prepare(error)) {
        notKept(error);
        return;
    }
    usable_ = true;
    folder_.removeLeftovers();
    bool tried = false;
    for (const WorkFolder::State& state : folder_.ended()) {
        if (state.answered || state.newer) {
            continue;
        }
        tried = true;
        WorkReader::State read = WorkReader::read(folder_, state);
        if (read.ok) {
            if (!read.changed.empty()) {
                offered_ = Offered{state, std::move(read)};
            }
            tried = false;
            break;
        }
    }
    if (tried) {
        notice_ =
            "the work kept from an earlier run could not be read: these are the factory banks";
    }
    folder_.prune(offered_ ? offered_->state.id : std::string());
}

std::string WorkKeeper::offer() const {
    if (!offered_) {
        return {};
    }
    const auto when =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(offered_->state.left));
    std::tm local{};
    localtime_r(&when, &local);
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%d %s %02d:%02d", local.tm_mday, months[local.tm_mon % 12],
                  local.tm_hour, local.tm_min);
    const std::size_t changed = offered_->read.changed.size();
    const std::string banks =
        "(" + std::to_string(changed) + (changed == 1 ? " bank" : " banks") + " changed).";
    if (offered_->read.ending == WorkReader::Ending::crash) {
        return std::string("The editor ended unexpectedly on ") + stamp +
               ": the banks as they were then can be restored " + banks;
    }
    return std::string("The banks as you left them on ") + stamp + " can be restored " + banks;
}

WorkKeeper::Listed WorkKeeper::describe(const WorkFolder& folder, const WorkFolder::State& state) {
    Listed listed;
    listed.state = state;
    {
        const WorkReader::State read = WorkReader::read(folder, state);
        listed.reads = read.ok;
        listed.error = read.error;
        listed.ending = read.ending;
        listed.steps = read.steps;
        for (const int bank : read.changed) {
            listed.changed.push_back(read.document->banks().bankName(bank));
        }
    }
    return listed;
}

WorkKeeper::Row WorkKeeper::row(const Listed& listed) {
    Row row;
    row.id = listed.state.id;
    const auto when =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(listed.state.left));
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    row.when = stamp;
    row.reads = listed.reads;
    if (!listed.reads) {
        row.ending = "damaged: " + listed.error;
        return row;
    }
    row.ending = listed.ending == WorkReader::Ending::open ? "open in another editor"
                                                           : WorkReader::name(listed.ending);
    for (const std::string& name : listed.changed) {
        row.banks += (row.banks.empty() ? "" : ", ") + name;
    }
    row.steps = listed.steps;
    return row;
}

std::vector<WorkKeeper::Listed> WorkKeeper::list() const {
    std::vector<Listed> listed;
    if (!usable_) {
        return listed;
    }
    for (const WorkFolder::State& state : folder_.states()) {
        if (state.id != folder_.claimed()) {
            listed.push_back(describe(folder_, state));
        }
    }
    return listed;
}

bool WorkKeeper::restoreOffered(Selection& selection) {
    return offered_ && restore(offered_->state.id, selection);
}

bool WorkKeeper::restoreNewest(Selection& selection) {
    if (!usable_) {
        return false;
    }
    for (const WorkFolder::State& state : folder_.ended()) {
        if (WorkReader::read(folder_, state).ok) {
            return restore(state.id, selection);
        }
    }
    return false;
}

bool WorkKeeper::restore(const std::string& id, Selection& selection) {
    if (!usable_ || id == folder_.claimed() || document_.transferring() ||
        document_.operation() != BankDocument::Operation::none) {
        return false;
    }
    // This run's own work first, as a state of its own that can be restored in turn.
    if (journal_.isOpen() && !endState(std::chrono::seconds(2))) {
        notice_ = "nothing was restored: this run's work could not be kept first (" + unkept_ + ")";
        return false;
    }
    std::string error;
    if (!folder_.claim(id, error)) {
        notice_ = "that kept work could not be restored: " + error;
        return false;
    }
    // What the files hold now, under the lock: another editor may have changed them since
    // they were offered. The offered state read at start serves when its files are the same.
    const std::optional<WorkFolder::State> state = folder_.find(id);
    WorkReader::State read;
    if (!state) {
        read.error = "it is no longer there";
    } else if (state->newer) {
        read.error = state->damaged;
    } else if (offered_ && offered_->state.id == id &&
               offered_->state.generation == state->generation &&
               offered_->state.left == state->left && offered_->state.bytes == state->bytes) {
        read = std::move(offered_->read);
    } else {
        read = WorkReader::read(folder_, *state);
    }
    if (read.ok) {
        adopting_ = true;
        read.ok = document_.adopt(*read.document);
        adopting_ = false;
    }
    if (!read.ok) {
        folder_.release();
        notice_ = "that kept work could not be restored: " + read.error;
        offered_.reset();
        return false;
    }
    selection = read.selection;
    // Records go on after the last that changed the state (an end is left behind).
    sequence_ = read.sequence - (read.ending == WorkReader::Ending::quit && read.sequence > 0);
    // Taken over: the journal begins anew beside the old one and takes its place when whole,
    // with a generation that makes it the newest; what it holds is compacted on the journal's
    // thread (a state from its bank file alone is written from here).
    if (state->journal && !read.historyDropped) {
        journal_.takeOver(folder_.journal(id), folder_.nextGeneration());
    } else {
        journal_.begin(folder_.journal(id), folder_.nextGeneration(), ++sequence_,
                       WorkState::snapshot(document_, selection));
    }
    changed_ = false;
    offered_.reset();
    if (read.historyDropped) {
        notice_ = "the banks are restored; their history could not be read";
    }
    return true;
}

void WorkKeeper::dismiss() {
    if (offered_) {
        folder_.answer(offered_->state);
        offered_.reset();
    }
}

std::string WorkKeeper::takeNotice() {
    poll();
    return std::exchange(notice_, std::string());
}

void WorkKeeper::poll() {
    const std::string failure = journal_.failure();
    if (!failure.empty()) {
        notKept(failure);
    } else if (!failure_.empty() && usable_ && retried_ != 0 && journal_.durable() >= retried_) {
        failure_.clear(); // kept again
    }
}

void WorkKeeper::notKept(const std::string& why) {
    failure_ = why;
}

void WorkKeeper::beginState() {
    std::string error;
    if (folder_.claimed().empty() && !folder_.claimNew(error)) {
        notKept(error);
        return;
    }
    journal_.begin(folder_.journal(folder_.claimed()), folder_.nextGeneration(), ++sequence_,
                   WorkState::snapshot(document_, selection_()));
    retried_ = sequence_;
}

void WorkKeeper::documentChanged(const BankDocument::Event& event) {
    using Kind = BankDocument::Event::Kind;
    if (adopting_ || event.kind == Kind::moved || event.kind == Kind::cancelled) {
        return;
    }
    changed_ = true;
    if (!usable_) {
        return;
    }
    poll();
    if (!journal_.isOpen() || !failure_.empty()) {
        // The state's first record holds the document as it stands, this change included; after
        // a failure a fresh one is tried at each step.
        beginState();
        return;
    }
    journal_.append(++sequence_, WorkState::record(document_, event, selection_()));
}

bool WorkKeeper::endState(std::chrono::milliseconds limit) {
    poll();
    if (!failure_.empty()) {
        beginState(); // one more try, from the document as it stands
    }
    // The end on the disk first; then, as time allows, the journal compacted and the banks
    // written beside it as a bank file (from a copy: the writer may outlive the document).
    journal_.append(++sequence_, WorkState::end(selection_()));
    journal_.sync();
    journal_.compact();
    auto copy = std::make_shared<DvVaneto>();
    BankHistory copier(*copy);
    for (const int bank : DvVaneto::allBanks()) {
        copier.put(document_.history().save(BankHistory::wholeBank(bank)));
    }
    journal_.run([copy, path = folder_.bankFile(folder_.claimed())] {
        std::string error;
        if (BankFile::save(path, *copy, -1, error)) {
            ::chmod(path.c_str(), 0600);
        }
    });
    const bool finished = journal_.finish(limit);
    if (!finished && journal_.durable() < sequence_) {
        const std::string why = journal_.failure();
        unkept_ = why.empty()
                      ? "the disk did not take it within " + std::to_string(limit.count()) + " ms"
                      : why;
        notKept(unkept_);
        return false;
    }
    folder_.release();
    sequence_ = 0;
    changed_ = false;
    return true;
}

bool WorkKeeper::finish(std::chrono::milliseconds limit) {
    if (!usable_ || !journal_.isOpen()) {
        poll();
        if (changed_) {
            unkept_ = failure_.empty() ? "the work was not written" : failure_;
        }
        return !changed_;
    }
    const bool changed = changed_;
    return endState(limit) || !changed;
}
