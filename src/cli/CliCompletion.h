#pragma once

#include <string>

// The bash completion of `vaneto`, made from the commands' option tables: the commands, each
// command's options, banks 1 to 7 (and other short number ranges) where a number is asked,
// file names elsewhere.
std::string bashCompletion();
