#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The MIDI output ports of the machine, as the default MIDI output service lists them. Ports are
// numbered 0 ... portCount() - 1; that number is what the transmitter opens.

// What the port list shows when there is no port.
inline constexpr const char* noPortText = "No MIDI interface detected!";

unsigned portCount();
// Every port's full name, in port order (as many as a 16-bit port number reaches).
std::vector<std::string> portNames();

// Name of port p, cut to 31 characters ("" for a port that does not exist). The text lives in
// one buffer shared by all calls: each call overwrites it, so copy it before the next call.
// Meant for one thread (the user-interface thread).
const char* portName(std::uint16_t port);
