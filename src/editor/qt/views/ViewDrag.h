#pragma once

#include <functional>

class QEvent;

// A view's drag with the left button, ended as if let go whenever the view loses the mouse:
// another button pressed (the right one opens the menu as usual), a move with the left button
// no longer held (it was let go where the view could not see it), the focus gone (a menu or
// another window took it), the view hidden. Esc takes it back.
class ViewDrag {
public:
    ViewDrag(std::function<void()> letGo, std::function<void()> takeBack)
        : letGo_(std::move(letGo)), takeBack_(std::move(takeBack)) {}

    void begin() { active_ = true; }
    bool active() const { return active_; }
    // The left button let go, or the drag taken back.
    void release();
    void cancel();
    // Before the view's own handling of each event: ends the drag when the event says the view
    // lost the mouse.
    void watch(const QEvent& event);

private:
    std::function<void()> letGo_;
    std::function<void()> takeBack_;
    bool active_ = false;
};
