#include "cli/CliMidiInput.h"

#include "cli/PortChoice.h"
#include "midiin/MidiInService.h"
#include "midiin/PortWatch.h"
#include "midiout/Clock.h"
#include "midiout/MidiOutPortList.h"
#ifdef VANETO_HAVE_ALSA
#include "midiin/alsa/AlsaMidiInService.h"
#include "midiin/alsa/AlsaPortWatch.h"
#endif

#include <algorithm>

namespace {

class NoMidiInput final : public MidiInService {
public:
    unsigned portCount() override { return 0; }
    std::string portName(unsigned) override { return {}; }
    bool open(unsigned, MidiInListener&) override { return false; }
    bool openVirtual(const std::string&, MidiInListener&) override { return false; }
    void close() override {}
    std::string lastError() const override { return "this build has no MIDI input"; }
};

class NoPortWatch final : public PortWatch {
public:
    std::string error() const override { return "this build has no MIDI ports"; }
    int descriptor() const override { return -1; }
    std::vector<Change> changes() override { return {}; }
    std::vector<Port> ports() const override { return {}; }
};

} // namespace

namespace CliMidiInput {

std::unique_ptr<PortWatch> watchPorts() {
#ifdef VANETO_HAVE_ALSA
    return std::make_unique<AlsaPortWatch>("vaneto");
#else
    return std::make_unique<NoPortWatch>();
#endif
}

std::unique_ptr<MidiInService> open() {
#ifdef VANETO_HAVE_ALSA
    return std::make_unique<AlsaMidiInService>(realClock(), "vaneto");
#else
    return std::make_unique<NoMidiInput>();
#endif
}

std::vector<std::string> portNames(MidiInService& service) {
    std::vector<std::string> names;
    const unsigned count = std::min(service.portCount(), 0x10000u);
    for (unsigned port = 0; port < count; ++port) {
        names.push_back(service.portName(port));
    }
    return names;
}

std::optional<unsigned> findPort(MidiInService& service, const std::string& wanted,
                                 std::string& error) {
    const std::vector<std::string> names = portNames(service);
    const PortChoice input{"MIDI input port", "vaneto ports --input", noInputPortText};
    const std::optional<unsigned> found = input.find(names, wanted, error);
    if (found) {
        return found;
    }
    // Named, but only among the ports one sends to?
    const std::vector<std::string> outputs = ::portNames();
    std::string ignored;
    const PortChoice output{"MIDI output port", "vaneto ports", noPortText};
    const std::optional<unsigned> onlyOutput = output.find(outputs, wanted, ignored);
    const bool numbered =
        !wanted.empty() && std::all_of(wanted.begin(), wanted.end(),
                                       [](unsigned char c) { return c >= 0x30 && c <= 0x39; });
    if (onlyOutput && !numbered &&
        std::find(names.begin(), names.end(), outputs[*onlyOutput]) == names.end()) {
        error = "\"" + outputs[*onlyOutput] +
                "\" cannot be received from: it has no read capability (it only takes MIDI in; "
                "see 'vaneto ports --input')";
    }
    return std::nullopt;
}

} // namespace CliMidiInput
