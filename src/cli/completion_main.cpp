// Writes the bash completion of `vaneto` (the build runs it; the package installs its output).
#include "cli/CliCompletion.h"

#include <cstdio>

int main() {
    return std::fputs(bashCompletion().c_str(), stdout) < 0 ? 1 : 0;
}
