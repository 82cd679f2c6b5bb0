#pragma once

#include "kept/WorkKeeper.h"

#include <string>
#include <vector>

// Where the window offers to restore the work of an earlier run, without a modal question: a
// line with Restore, Dismiss and Other kept work..., and the list of every kept state.
class WorkOfferView {
public:
    using KeptRow = WorkKeeper::Row;
    virtual ~WorkOfferView() = default;
    virtual void showWorkOffer(const std::string& text) = 0;
    virtual void hideWorkOffer() = 0;
    // The list of kept states; answers the id of the one to restore, empty for none.
    virtual std::string chooseKeptWork(const std::vector<KeptRow>& rows) = 0;
};
