#include "cli/PortsCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliMidiInput.h"
#include "midiin/MidiInService.h"
#include "midiout/MidiOutPortList.h"

#include <ostream>

int PortsCommand::run(CliArguments& args) {
    static constexpr CliOption options[] = {{.name = "--input"}};
    const CliParse parsed = args.parse(options, 0);
    if (!args.ok()) {
        return context_.usage(args);
    }
    const std::vector<std::string> names =
        parsed.given("--input") ? CliMidiInput::portNames(*CliMidiInput::open()) : portNames();
    if (names.empty()) {
        context_.err << (parsed.given("--input") ? CliMidiInput::noInputPortText : noPortText)
                     << '\n';
        return cliOk;
    }
    for (std::size_t port = 0; port < names.size(); ++port) {
        context_.out << port << '\t' << names[port] << '\n';
    }
    return cliOk;
}
