#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The words after a command name, taken one after the other. Every taking operation that fails
// records a usage message (the first one wins) and answers an empty result, so a command parses
// its whole line and then asks `ok()` once.
class CliArguments {
public:
    CliArguments(std::string command, std::vector<std::string> words);

    bool atEnd() const { return position_ >= words_.size(); }
    const std::string& peek() const { return words_[position_]; }
    std::string next();

    // The word after an option, refused when it is missing or itself looks like an option.
    std::optional<std::string> value(const std::string& option);
    // The word after an option, whatever it looks like (a name may begin with '-').
    std::optional<std::string> text(const std::string& option);
    // A whole decimal number from first to last, refused otherwise; what names it in messages.
    std::optional<int> number(const std::string& option, const std::string& what, int first,
                              int last);

    // True when "-h" or "--help" is among the words.
    bool wantsHelp() const;

    void fail(const std::string& message);
    bool ok() const { return error_.empty(); }
    // "vaneto COMMAND: message"
    const std::string& error() const { return error_; }
    const std::string& command() const { return command_; }

private:
    std::string command_;
    std::vector<std::string> words_;
    std::size_t position_ = 0;
    std::string error_;
};
