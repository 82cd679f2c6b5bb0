#include "cli/CliContext.h"

#include "cli/CliArguments.h"

#include <ostream>

int CliContext::failure(const std::string& command, const std::string& message) const {
    err << "vaneto " << command << ": " << message << '\n';
    return cliFailed;
}

int CliContext::usage(const CliArguments& args) const {
    err << args.error() << "\nTry 'vaneto " << args.command() << " --help'.\n";
    return cliUsage;
}
