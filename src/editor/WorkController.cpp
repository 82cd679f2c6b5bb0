#include "editor/WorkController.h"

WorkController::WorkController(BankDocument& document, WorkOfferView& offer, Hooks hooks)
    : document_(document), offer_(offer), hooks_(std::move(hooks)) {}

WorkController::~WorkController() = default;

void WorkController::start(const std::filesystem::path& folder, bool restoreNow,
                           const std::string& restoreId, WorkFiles& files) {
    keeper_ = std::make_unique<WorkKeeper>(document_, folder, hooks_.selection, files);
    document_.addObserver([this](const BankDocument::Event& event) { documentChanged(event); });
    keeper_->start();
    if (const std::string text = keeper_->offer(); !text.empty()) {
        offer_.showWorkOffer(text);
    }
    if (restoreNow) {
        Selection selection;
        restored(restoreId.empty() ? keeper_->restoreNewest(selection)
                                   : keeper_->restore(restoreId, selection),
                 selection);
    }
    takeNotice();
}

void WorkController::restored(bool done, Selection selection) {
    if (done) {
        offer_.hideWorkOffer();
        hooks_.select(selection);
    }
    takeNotice();
}

void WorkController::restore() {
    Selection selection;
    if (keeper_ && hooks_.mayRestore()) {
        restored(keeper_->restoreOffered(selection), selection);
    }
}

void WorkController::restore(const std::string& id) {
    Selection selection;
    if (keeper_ && hooks_.mayRestore()) {
        restored(keeper_->restore(id, selection), selection);
    }
}

void WorkController::dismiss() {
    if (keeper_) {
        keeper_->dismiss();
    }
    offer_.hideWorkOffer();
}

void WorkController::showKept() {
    if (!keeper_) {
        return;
    }
    std::vector<WorkOfferView::KeptRow> rows;
    for (const WorkKeeper::Listed& listed : keeper_->list()) {
        rows.push_back(WorkKeeper::row(listed));
    }
    const std::string id = offer_.chooseKeptWork(rows);
    if (!id.empty()) {
        restore(id);
    }
}

std::string WorkController::note() const {
    if (keeper_ && !keeper_->failure().empty()) {
        return "your work is not being kept: " + keeper_->failure();
    }
    return note_;
}

void WorkController::poll() {
    if (!keeper_) {
        return;
    }
    keeper_->poll();
    if (keeper_->failure() != failure_) {
        failure_ = keeper_->failure();
        hooks_.refreshLine();
    }
}

void WorkController::takeNotice() {
    const std::string notice = keeper_->takeNotice();
    if (!notice.empty()) {
        note_ = notice;
    }
    failure_ = keeper_->failure();
    hooks_.refreshLine();
}

void WorkController::documentChanged(const BankDocument::Event& event) {
    using Kind = BankDocument::Event::Kind;
    if (event.kind == Kind::moved || event.kind == Kind::cancelled) {
        return;
    }
    // A note is said once: the change after it clears it. A failure stays until the work is
    // kept again.
    const std::string before = note();
    note_.clear();
    const std::string notice = keeper_->takeNotice();
    if (!notice.empty()) {
        note_ = notice;
    }
    failure_ = keeper_->failure();
    if (note() != before) {
        hooks_.refreshLine();
    }
}

bool WorkController::finish(std::chrono::milliseconds limit) {
    return !keeper_ || keeper_->finish(limit);
}
