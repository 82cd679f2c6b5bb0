#include "files/MemoryReuse.h"
#include "cli/VanetoCli.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    keepFreedMemoryForReuse();
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    CliContext context{std::cout, std::cerr, std::cin, isatty(STDIN_FILENO) == 1,
                       isatty(STDERR_FILENO) == 1};
    const int status = VanetoCli(context).run(arguments);
    std::cout.flush();
    if (std::cout.fail() && status == cliOk) {
        std::cerr << "vaneto: cannot write to standard output\n";
        return cliFailed;
    }
    return status;
}
