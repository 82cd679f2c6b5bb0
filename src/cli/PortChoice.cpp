#include "cli/PortChoice.h"

#include "files/Utf8Text.h"

#include <charconv>

std::optional<unsigned> PortChoice::find(const std::vector<std::string>& names,
                                         const std::string& wanted, std::string& error) const {
    const auto count = static_cast<unsigned>(names.size());
    const std::string see = " (see '" + std::string(listing) + "')";
    if (count == 0) {
        error = none;
        return std::nullopt;
    }
    unsigned index = 0;
    const char* end = wanted.data() + wanted.size();
    const auto [stop, code] = std::from_chars(wanted.data(), end, index);
    if (!wanted.empty() && code == std::errc() && stop == end) {
        if (index < count) {
            return index;
        }
        error = "no " + std::string(kind) + " " + wanted + " (ports are 0 to " +
                std::to_string(count - 1) + ", see '" + std::string(listing) + "')";
        return std::nullopt;
    }
    const std::string needle = asciiLowerCase(wanted);
    std::vector<unsigned> matches;
    for (unsigned port = 0; port < count; ++port) {
        const std::string name = asciiLowerCase(names[port]);
        if (name == needle) {
            return port;
        }
        if (!needle.empty() && name.find(needle) != std::string::npos) {
            matches.push_back(port);
        }
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    if (matches.empty()) {
        error = "no " + std::string(kind) + " matches '" + wanted + "'" + see;
    } else {
        error = "'" + wanted + "' matches several " + std::string(kind) + "s:";
        for (const unsigned port : matches) {
            error += "\n  " + std::to_string(port) + "\t" + names[port];
        }
    }
    return std::nullopt;
}
