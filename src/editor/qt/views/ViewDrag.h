#pragma once

class QEvent;
class WaveCommands;

// A view's drag with the left button on a wave, ended as if let go whenever the view loses the
// mouse: another button pressed (the right one opens the menu as usual), a move with the left
// button no longer held (it was let go where the view could not see it), the focus gone (a menu
// or another window took it), the view hidden. Esc takes it back (and goes no further, so that
// the dialog does not close). The edit is the controller's, which may not be there yet.
class ViewDrag {
public:
    explicit ViewDrag(WaveCommands* const& controller) : controller_(controller) {}

    void begin() { active_ = true; }
    bool active() const { return active_; }
    // The left button let go.
    void release();
    // Before the view's own handling of each event: ends the drag when the event says the view
    // lost the mouse; true when the event was Esc taking the drag back (nothing more to do).
    bool watch(QEvent& event);

private:
    void cancel();

    WaveCommands* const& controller_;
    bool active_ = false;
};
