#include "cli/CliCompletion.h"

#include "cli/CliCommands.h"

#include <string_view>

namespace {

using Takes = CliOption::Takes;

// The numbers worth offering: a bank or a channel, not 256 slots.
std::string numbers(const CliOption& option) {
    if (option.last - option.first > 16) {
        return {};
    }
    std::string words;
    for (int n = option.first; n <= option.last; ++n) {
        words += (words.empty() ? "" : " ") + std::to_string(n);
    }
    return words;
}

bool takesNumber(Takes takes) {
    return takes == Takes::number || takes == Takes::numberThenValue ||
           takes == Takes::numberThenText || takes == Takes::numbersThenValue ||
           takes == Takes::numbersThenText;
}

} // namespace

std::string bashCompletion() {
    std::string commands;
    std::string cases;
    for (const CliCommand& command : cliCommands()) {
        commands += std::string(command.name) + " ";
        std::string optionWords = "--help";
        std::string after;
        for (const CliOption& option : command.options()) {
            const std::string name(option.name);
            optionWords += " " + name + (option.takes == Takes::optionalAttached ? "=" : "");
            if (takesNumber(option.takes)) {
                after += "        " + name + ") COMPREPLY=($(compgen -W \"" + numbers(option) +
                         "\" -- \"$cur\")); return ;;\n";
            } else if (option.takes == Takes::value || option.takes == Takes::text) {
                after += "        " + name + ") _vaneto_files; return ;;\n";
            }
        }
        cases += "    " + std::string(command.name) + ")\n        case \"$prev\" in\n" + after +
                 "        esac\n        words=\"" + optionWords + "\" ;;\n";
    }
    return "# bash completion for vaneto, made from its option tables when it was built\n"
           "# File names one to an element, spaces and all (bash quotes them as it inserts them).\n"
           "_vaneto_files() {\n"
           "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
           "}\n"
           "_vaneto() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} words\n"
           "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
           "        COMPREPLY=($(compgen -W \"" +
           commands +
           "--help --version\" -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    case \"${COMP_WORDS[1]}\" in\n" +
           cases +
           "    *) return ;;\n"
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "        [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace\n"
           "    else\n"
           "        _vaneto_files\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -o bashdefault -F _vaneto vaneto\n";
}
