#include "app/WorkKeeper.h"

#include "app/BankFile.h"
#include "device/DvVaneto.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <utility>

struct WorkKeeper::Candidate {
    std::string id;
    std::unique_ptr<BankDocument> document = std::make_unique<BankDocument>();
    Selection selection;
    std::filesystem::file_time_type left;
    int changed = 0;
    std::uint64_t sequence = 0;
    std::uint64_t goodEnd = 0;
    bool resumable = false; // its journal read whole: later records go on after it
    bool historyDropped = false;
};

WorkKeeper::WorkKeeper(BankDocument& document, std::filesystem::path folder,
                       std::function<Selection()> selection)
    : document_(document), folder_(std::move(folder)), selection_(std::move(selection)) {
    document_.addObserver([this](const BankDocument::Event& event) { documentChanged(event); });
}

WorkKeeper::~WorkKeeper() = default;

void WorkKeeper::start() {
    std::string error;
    if (!folder_.prepare(error)) {
        notKept(error);
        return;
    }
    const std::vector<WorkFolder::State> states = folder_.ended();
    for (const WorkFolder::State& state : states) {
        candidate_ = load(state);
        if (candidate_) {
            break;
        }
    }
    if (!candidate_ && !states.empty()) {
        notice_ =
            "the work kept from an earlier run could not be read: these are the factory banks";
    }
    folder_.prune(candidate_ ? candidate_->id : std::string());
}

std::unique_ptr<WorkKeeper::Candidate> WorkKeeper::load(const WorkFolder::State& state) const {
    auto candidate = std::make_unique<Candidate>();
    candidate->id = state.id;
    candidate->left = state.left;
    const WorkJournal::Contents contents =
        WorkJournal::read(folder_.journal(state.id), journalLimit);
    bool any = false;
    candidate->resumable = contents.readable;
    for (const WorkJournal::Record& record : contents.records) {
        // A journal begins with a snapshot; a record that does not play ends the reading.
        const bool snapshot =
            !record.payload.empty() &&
            record.payload[0] == static_cast<std::uint8_t>(WorkState::Kind::snapshot);
        if ((!any && !snapshot) ||
            !WorkState::replay(record.payload, *candidate->document, candidate->selection,
                               candidate->historyDropped)) {
            candidate->resumable = false;
            break;
        }
        any = true;
        candidate->sequence = record.sequence;
    }
    candidate->goodEnd = contents.goodEnd;
    if (!any) {
        // The bank file of the last quit: the banks without their history.
        bool loaded = false;
        candidate->document->restore(
            DvVaneto::allBanks(), [&](DvVaneto& banks, BankDocument::Origins&) {
                std::vector<int> banksRead;
                loaded = BankFile::load(folder_.bankFile(state.id), banks, banksRead) ==
                             BankFile::ReadResult::ok &&
                         !banksRead.empty();
                return loaded;
            });
        if (!loaded) {
            return nullptr;
        }
        candidate->historyDropped = true;
        candidate->resumable = false;
    }
    candidate->changed = WorkState::changedBanks(candidate->document->banks());
    return candidate;
}

std::string WorkKeeper::offer() const {
    if (!candidate_ || candidate_->changed == 0 || dismissed_ || stepped_) {
        return {};
    }
    const auto when =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(candidate_->left));
    std::tm local{};
    localtime_r(&when, &local);
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[200];
    std::snprintf(text, sizeof text,
                  "The banks as you left them on %d %s %02d:%02d can be restored (%d bank%s "
                  "changed).",
                  local.tm_mday, months[local.tm_mon % 12], local.tm_hour, local.tm_min,
                  candidate_->changed, candidate_->changed == 1 ? "" : "s");
    return text;
}

bool WorkKeeper::restore(Selection& selection) {
    if (!candidate_ || stepped_) {
        return false;
    }
    std::string error;
    if (!folder_.claim(candidate_->id, error)) {
        return false;
    }
    adopting_ = true;
    const bool adopted = document_.adopt(*candidate_->document);
    adopting_ = false;
    if (!adopted) {
        folder_.release();
        return false;
    }
    selection = candidate_->selection;
    sequence_ = candidate_->sequence;
    const std::filesystem::path path = folder_.journal(candidate_->id);
    const bool resumed = candidate_->resumable ? journal_.resume(path, candidate_->goodEnd, error)
                                               : journal_.create(path, error);
    if (!resumed) {
        notKept(error);
    } else if (!candidate_->resumable) {
        journal_.append(++sequence_, WorkState::snapshot(document_, selection));
    }
    if (candidate_->historyDropped) {
        notice_ = "the banks are restored; their history could not be read";
    }
    candidate_.reset();
    return true;
}

std::string WorkKeeper::takeNotice() {
    if (!failed_ && !journal_.failure().empty()) {
        notKept(journal_.failure());
    }
    return std::exchange(notice_, std::string());
}

void WorkKeeper::notKept(const std::string& why) {
    failed_ = true;
    notice_ = "your work is not being kept: " + why;
}

bool WorkKeeper::beginState() {
    std::string error;
    if (!folder_.claimNew(error) || !journal_.create(folder_.journal(folder_.claimed()), error)) {
        notKept(error);
        return false;
    }
    journal_.append(++sequence_, WorkState::snapshot(document_, selection_()));
    return true;
}

void WorkKeeper::documentChanged(const BankDocument::Event& event) {
    using Kind = BankDocument::Event::Kind;
    if (adopting_ || failed_ || event.kind == Kind::moved || event.kind == Kind::cancelled) {
        return;
    }
    stepped_ = true;
    if (!journal_.isOpen()) {
        // The state's first record holds the document as it stands, this change included.
        beginState();
        return;
    }
    journal_.append(++sequence_, WorkState::record(document_, event, selection_()));
}

bool WorkKeeper::finish(std::chrono::milliseconds limit) {
    if (!journal_.isOpen()) {
        return true;
    }
    journal_.replace(sequence_, WorkState::snapshot(document_, selection_()));
    // The banks as a bank file, from a copy: the writer may outlive the document.
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
    return journal_.finish(limit);
}
