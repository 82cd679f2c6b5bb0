#pragma once

#include <optional>

// The two piano rows of a computer keyboard, by physical key (the X11 / XKB keycode, the evdev
// code + 8, the same whatever letters the layout prints on the keys): the bottom letter row
// from C3 (Z S X D C V G B H N J M ,), the top letter row with the digits above it from C4
// (Q 2 W 3 E R 5 T 6 Y 7 U I).
namespace PianoKeys {

// The MIDI note of a key, or nothing for a key that is not one of the rows.
std::optional<int> noteOf(unsigned keycode);

} // namespace PianoKeys
