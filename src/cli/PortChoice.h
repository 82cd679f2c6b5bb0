#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The port a --port or --input value names among a list of port names: an index, or a
// case-insensitive part of exactly one name (a whole name wins over parts). Nothing, with a
// message in error, otherwise. kind names the ports in messages ("MIDI output port"), listing
// the command that lists them ("vaneto ports"), none the text for an empty list.
struct PortChoice {
    std::string_view kind;
    std::string_view listing;
    std::string_view none;

    std::optional<unsigned> find(const std::vector<std::string>& names, const std::string& wanted,
                                 std::string& error) const;
};
