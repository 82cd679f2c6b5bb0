#include "cli/PortsCommand.h"

#include "cli/CliArguments.h"
#include "midiout/MidiOutPortList.h"

#include <ostream>

int PortsCommand::run(CliArguments& args) {
    args.parse({}, 0);
    if (!args.ok()) {
        return context_.usage(args);
    }
    const unsigned count = portCount();
    if (count == 0) {
        context_.err << noPortText << '\n';
        return cliOk;
    }
    for (unsigned port = 0; port < count && port <= 0xFFFF; ++port) {
        context_.out << port << '\t' << portName(static_cast<std::uint16_t>(port)) << '\n';
    }
    return cliOk;
}
