#pragma once

#include <cstdint>

// Conversions between milliseconds, MIDI file ticks and System Exclusive message lengths, shared
// by the MIDI file writer and reader. Each forms its quotient in double precision and rounds it
// up (an integral quotient stays as it is). With division 24 and tempo 120:
//   millisecondsToTicks: ceil(24 * ms / 500)
//   bytesToTicks:        ceil(24 * count / 1562.5)   (0.32 ms per byte on the MIDI cable)
//   ticksToMilliseconds: ceil(500 * ticks / 24)
// A division or tempo of 0 gives 0 from all three, and so does a tempo above 60000 where whole
// milliseconds per beat are used. Results too large for 32 bits come back as 0xFFFFFFFF.

// (ms * division, in 32-bit unsigned arithmetic) / (60000 div tempo)
std::uint32_t millisecondsToTicks(std::uint32_t milliseconds, std::uint16_t division,
                                  std::uint16_t tempo);
// (count * division, in 32-bit unsigned arithmetic) / (187500.0 / tempo)
std::uint32_t bytesToTicks(std::uint32_t count, std::uint16_t division, std::uint16_t tempo);
// ticks * (60000 div tempo) / division, all in double
std::uint32_t ticksToMilliseconds(std::uint32_t ticks, std::uint16_t division, std::uint16_t tempo);
