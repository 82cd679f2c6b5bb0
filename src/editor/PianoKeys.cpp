#include "editor/PianoKeys.h"

namespace PianoKeys {

std::optional<int> noteOf(unsigned keycode) {
    struct Key {
        unsigned code;
        int note;
    };
    static constexpr Key keys[] = {// Z row: Z S X D C V G B H N J M , from C3 (MIDI 48).
                                   {52, 48},
                                   {39, 49},
                                   {53, 50},
                                   {40, 51},
                                   {54, 52},
                                   {55, 53},
                                   {42, 54},
                                   {56, 55},
                                   {43, 56},
                                   {57, 57},
                                   {44, 58},
                                   {58, 59},
                                   {59, 60},
                                   // Q row: Q 2 W 3 E R 5 T 6 Y 7 U I from C4 (MIDI 60).
                                   {24, 60},
                                   {11, 61},
                                   {25, 62},
                                   {12, 63},
                                   {26, 64},
                                   {27, 65},
                                   {14, 66},
                                   {28, 67},
                                   {15, 68},
                                   {29, 69},
                                   {16, 70},
                                   {30, 71},
                                   {31, 72}};
    for (const Key& key : keys) {
        if (key.code == keycode) {
            return key.note;
        }
    }
    return std::nullopt;
}

} // namespace PianoKeys
