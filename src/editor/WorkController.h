#pragma once

#include "kept/WorkKeeper.h"
#include "editor/WorkOfferView.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class BankDocument;

// The editor's side of the kept work: the offer in the window (Restore, Dismiss, Other kept
// work...), the list of kept states, the selection a restore brings back, and the note on the
// panel's line: while the work is not kept, why (until it is kept again); a state that could
// not be read or restored (until the next change).
class WorkController {
public:
    using Selection = WorkKeeper::Selection;
    struct Hooks {
        std::function<Selection()> selection; // the selected bank and slot now
        std::function<void(Selection)> select;
        std::function<void()> refreshLine; // the note changed
        std::function<bool()> mayRestore;  // false during a transfer
    };
    WorkController(BankDocument& document, WorkOfferView& offer, Hooks hooks);
    ~WorkController();
    WorkController(const WorkController&) = delete;
    WorkController& operator=(const WorkController&) = delete;

    // Keeps the work in `folder`; with restoreNow a state comes back at once (the one named
    // by restoreId, else the newest that reads), otherwise the newest unanswered is offered.
    void start(const std::filesystem::path& folder, bool restoreNow,
               const std::string& restoreId = {}, WorkFiles& files = WorkFiles::system());
    void restore();
    void restore(const std::string& id);
    void dismiss();
    // The list of every kept state, any of which can be restored from it.
    void showKept();
    std::string note() const;
    // Notices a failure of the journal's writing (the window asks now and then).
    void poll();
    bool finish(std::chrono::milliseconds limit);
    const std::string& unkept() const { return keeper_->unkept(); }
    WorkKeeper& keeper() { return *keeper_; }

private:
    void documentChanged(const BankDocument::Event& event);
    void restored(bool done, Selection selection);
    void takeNotice();

    BankDocument& document_;
    WorkOfferView& offer_;
    Hooks hooks_;
    std::unique_ptr<WorkKeeper> keeper_;
    std::string note_;
    std::string failure_; // as last shown
};
