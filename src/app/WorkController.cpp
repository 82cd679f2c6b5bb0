#include "app/WorkController.h"

#include "app/WorkOfferView.h"

WorkController::WorkController(BankDocument& document, WorkOfferView& offer, Hooks hooks)
    : document_(document), offer_(offer), hooks_(std::move(hooks)) {}

WorkController::~WorkController() = default;

void WorkController::start(const std::filesystem::path& folder, bool restoreNow) {
    keeper_ = std::make_unique<WorkKeeper>(document_, folder, hooks_.selection);
    document_.addObserver([this](const BankDocument::Event& event) { documentChanged(event); });
    keeper_->start();
    if (restoreNow) {
        restore();
    } else if (const std::string text = keeper_->offer(); !text.empty()) {
        offer_.showWorkOffer(text);
    }
    takeNotice();
}

void WorkController::restore() {
    Selection selection;
    if (!keeper_ || !hooks_.mayRestore() || !keeper_->restore(selection)) {
        return;
    }
    offer_.hideWorkOffer();
    hooks_.select(selection);
    takeNotice();
}

void WorkController::dismiss() {
    if (keeper_) {
        keeper_->dismiss();
    }
    offer_.hideWorkOffer();
}

void WorkController::takeNotice() {
    const std::string notice = keeper_->takeNotice();
    if (!notice.empty()) {
        note_ = notice;
        hooks_.refreshLine();
    }
}

void WorkController::documentChanged(const BankDocument::Event& event) {
    using Kind = BankDocument::Event::Kind;
    if (event.kind == Kind::moved || event.kind == Kind::cancelled) {
        return;
    }
    if (keeper_->offer().empty()) {
        offer_.hideWorkOffer();
    }
    // A note is said once: the change after it clears it.
    if (!note_.empty()) {
        note_.clear();
        hooks_.refreshLine();
    }
    takeNotice();
}

bool WorkController::finish(std::chrono::milliseconds limit) {
    return !keeper_ || keeper_->finish(limit);
}
