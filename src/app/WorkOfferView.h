#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where the window offers to restore the work of an earlier run, without a modal question: a
// line with Restore, Dismiss and Other kept work..., and the list of every kept state.
class WorkOfferView {
public:
    struct KeptRow {
        std::string id;
        std::string when;   // "2026-12-09 14:02:11", local time
        std::string ending; // "quit", "crash", "open in another editor", or why it does not read
        std::string banks;  // the names of the banks it changed
        std::size_t steps = 0;
        bool reads = false;
    };
    virtual ~WorkOfferView() = default;
    virtual void showWorkOffer(const std::string& text) = 0;
    virtual void hideWorkOffer() = 0;
    // The list of kept states; answers the id of the one to restore, empty for none.
    virtual std::string chooseKeptWork(const std::vector<KeptRow>& rows) = 0;
};
