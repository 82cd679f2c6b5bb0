#include "cli/VanetoCli.h"

#include "VanetoVersion.h"

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

#ifdef VANETO_HAVE_ALSA
#include "midiout/alsa/AlsaMidiOutService.h"
#endif

#include <ostream>

namespace {

constexpr const char* versionText = "vaneto " VANETO_VERSION;

} // namespace

int VanetoCli::run(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        context_.err << cliGeneralHelp();
        return cliUsage;
    }
    const std::string& name = arguments.front();
    if (name == "-h" || name == "--help" || name == "help") {
        context_.out << cliGeneralHelp();
        return cliOk;
    }
    if (name == "--version") {
        context_.out << versionText << '\n';
        return cliOk;
    }
    const CliCommand* command = findCliCommand(name);
    if (command == nullptr) {
        return usageError(name[0] == '-' ? "unknown option '" + name + "'"
                                         : "unknown command '" + name + "'");
    }
    CliArguments args(name, std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    if (args.wantsHelp()) {
        context_.out << command->help;
        return cliOk;
    }
    if (command->usesMidi) {
        useMidiSystem();
    }
    return command->run(context_, args);
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
