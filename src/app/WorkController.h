#pragma once

#include "app/WorkKeeper.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class BankDocument;
class WorkOfferView;

// The editor's side of the kept work: the offer in the window (Restore, Dismiss), the selection
// a restore brings back, and the note on the panel's line when the work is not kept or could not
// be read (shown until the next change).
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

    // Keeps the work in `folder`; with restoreNow the newest ended state comes back at once,
    // otherwise it is offered when its banks changed.
    void start(const std::filesystem::path& folder, bool restoreNow);
    void restore();
    void dismiss();
    const std::string& note() const { return note_; }
    bool finish(std::chrono::milliseconds limit);
    WorkKeeper& keeper() { return *keeper_; }

private:
    void documentChanged(const BankDocument::Event& event);
    void takeNotice();

    BankDocument& document_;
    WorkOfferView& offer_;
    Hooks hooks_;
    std::unique_ptr<WorkKeeper> keeper_;
    std::string note_;
};
