#pragma once

#include <string_view>

// The texts of `vaneto --help` and `vaneto COMMAND --help`.
namespace CliHelp {

std::string_view general();
// Empty for a name that is not a command.
std::string_view command(std::string_view name);

} // namespace CliHelp
