#include "cli/VanetoCli.h"

#include "VanetoVersion.h"

#include "cli/CliArguments.h"
#include "cli/CliHelp.h"
#include "cli/ExportCommand.h"
#include "cli/ListCommand.h"
#include "cli/MakeCommand.h"
#include "cli/PlayCommand.h"
#include "cli/PortsCommand.h"
#include "cli/SendCommand.h"

#ifdef VANETO_HAVE_ALSA
#include "midiout/alsa/AlsaMidiOutService.h"
#endif

#include <ostream>

namespace {

constexpr const char* versionText = "vaneto " VANETO_VERSION;

} // namespace

int VanetoCli::run(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        context_.err << CliHelp::general();
        return cliUsage;
    }
    const std::string& name = arguments.front();
    if (name == "-h" || name == "--help" || name == "help") {
        context_.out << CliHelp::general();
        return cliOk;
    }
    if (name == "--version") {
        context_.out << versionText << '\n';
        return cliOk;
    }
    if (CliHelp::command(name).empty()) {
        return usageError(name[0] == '-' ? "unknown option '" + name + "'"
                                         : "unknown command '" + name + "'");
    }
    CliArguments args(name, std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    if (args.wantsHelp()) {
        context_.out << CliHelp::command(name);
        return cliOk;
    }
    if (name == "ports" || name == "send") {
        useMidiSystem();
    }
    if (name == "ports") {
        return PortsCommand(context_).run(args);
    }
    if (name == "list") {
        return ListCommand(context_).run(args);
    }
    if (name == "make") {
        return MakeCommand(context_).run(args);
    }
    if (name == "export") {
        return ExportCommand(context_).run(args);
    }
    if (name == "play") {
        return PlayCommand(context_).run(args);
    }
    return SendCommand(context_).run(args);
}

void VanetoCli::useMidiSystem() {
#ifdef VANETO_HAVE_ALSA
    installAlsaMidiOutService("vaneto");
#endif
}

int VanetoCli::usageError(const std::string& message) {
    context_.err << "vaneto: " << message << "\nTry 'vaneto --help'.\n";
    return cliUsage;
}
