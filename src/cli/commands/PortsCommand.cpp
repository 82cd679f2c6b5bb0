#include "cli/commands/PortsCommand.h"

#include "transfer/SignalPipe.h"
#include "cli/CliArguments.h"
#include "cli/CliMidiInput.h"
#include "midiin/MidiInService.h"
#include "midiin/PortWatch.h"
#include "midiout/MidiOutPortList.h"

#include <poll.h>

#include <cerrno>
#include <ostream>

namespace {

constexpr CliOption commandOptions[] = {{.name = "--input"}, {.name = "--watch"}};

} // namespace

std::span<const CliOption> PortsCommand::options() {
    return commandOptions;
}

int PortsCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(commandOptions, 0);
    if (!args.ok()) {
        return context_.usage(args);
    }
    if (parsed.given("--watch")) {
        if (parsed.given("--input")) {
            args.fail("--watch watches the output ports: not with --input");
            return context_.usage(args);
        }
        return watch();
    }
    if (parsed.given("--input")) {
        print(CliMidiInput::portNames(*CliMidiInput::open()), CliMidiInput::noInputPortText);
    } else {
        print(portNames(), noPortText);
    }
    return cliOk;
}

void PortsCommand::print(const std::vector<std::string>& names, const char* none) const {
    if (names.empty()) {
        context_.err << none << '\n';
    }
    for (std::size_t port = 0; port < names.size(); ++port) {
        context_.out << port << '\t' << names[port] << '\n';
    }
}

int PortsCommand::watch() {
    // The signals first, so that an interrupt during the listing is not lost.
    SignalPipe signals;
    const std::unique_ptr<PortWatch> ports = CliMidiInput::watchPorts();
    if (!ports->error().empty()) {
        return context_.failure("ports", ports->error());
    }
    // The list from the same snapshot as the baseline that the changes are told against.
    std::vector<std::string> names;
    for (const PortWatch::Port& port : ports->ports()) {
        names.push_back(port.name);
    }
    print(names, noPortText);
    context_.out << std::flush;
    for (;;) {
        pollfd waits[2] = {{ports->descriptor(), POLLIN, 0}, {signals.readFd(), POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 && errno != EINTR) {
            return context_.failure("ports", "cannot wait for the sequencer");
        }
        if (signals.take() != 0) {
            return cliInterrupted;
        }
        for (const PortWatch::Change& change : ports->changes()) {
            context_.out << (change.appeared ? "+ " : "- ") << change.port.client << ':'
                         << change.port.port << ' ' << change.port.name << '\n'
                         << std::flush;
        }
    }
}
