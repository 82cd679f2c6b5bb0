#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class MidiInService;
class PortWatch;

// MIDI input for the commands that receive: the machine's input service and the port a value
// names.
namespace CliMidiInput {

inline constexpr const char* noInputPortText = "No MIDI input port detected!";
// The name of the port `vaneto receive --virtual` offers to other programs.
inline constexpr const char* virtualPortName = "Vaneto (virtual)";

// The ALSA sequencer's input (a service without ports where there is none).
std::unique_ptr<MidiInService> open();
std::vector<std::string> portNames(MidiInService& service);
// The watch on the ports one can send to (one that does not work where there is no sequencer).
std::unique_ptr<PortWatch> watchPorts();
// The input port a value names (see PortChoice). A port that exists but cannot be read from
// (an output-only port such as a synthesizer's input) is refused with that reason.
std::optional<unsigned> findPort(MidiInService& service, const std::string& wanted,
                                 std::string& error);

} // namespace CliMidiInput
