#pragma once

#include <string>

// Where the window offers to restore the work of an earlier run, without a modal question: a
// line with Restore and Dismiss.
class WorkOfferView {
public:
    virtual ~WorkOfferView() = default;
    virtual void showWorkOffer(const std::string& text) = 0;
    virtual void hideWorkOffer() = 0;
};
