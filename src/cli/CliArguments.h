#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One option of a command and what follows its name.
struct CliOption {
    enum class Takes {
        nothing,
        value,            // a word that does not look like an option
        text,             // any word (a name may begin with '-')
        number,           // a whole number from first to last
        numberThenValue,  // a number, then a value
        numberThenText,   // a number, then any word
        numbersThenValue, // a number, a second number, then a value
        numbersThenText,  // a number, a second number, then any word
        optionalAttached, // nothing, or a value joined by '=' ("--normalize=-3")
    };
    std::string_view name;
    Takes takes = Takes::nothing;
    // For numbers: what names the number in messages ("bank"), and its range.
    std::string_view what = {};
    int first = 0;
    int last = 0;
    // For numberThenValue: what is missing when no value follows ("an audio file").
    std::string_view missing = {};
    // Refused when given a second time; otherwise the last use counts.
    bool once = false;
    // For the second number of numbersThen...: what names it and its range.
    std::string_view secondWhat = {};
    int secondFirst = 0;
    int secondLast = 0;
};

// The options that name a bank (1 to 7) or a MIDI channel (1 to 16) as the editor numbers them.
constexpr CliOption bankOption(std::string_view name = "--bank",
                               CliOption::Takes takes = CliOption::Takes::number,
                               std::string_view missing = {}, bool once = false) {
    return {.name = name,
            .takes = takes,
            .what = "bank",
            .first = 1,
            .last = 7,
            .missing = missing,
            .once = once};
}
// An option that names a bank, then one of its wave slots (1 to 256).
constexpr CliOption slotOption(std::string_view name, CliOption::Takes takes,
                               std::string_view missing = {}) {
    return {.name = name,
            .takes = takes,
            .what = "bank",
            .first = 1,
            .last = 7,
            .missing = missing,
            .secondWhat = "slot",
            .secondFirst = 1,
            .secondLast = 256};
}
constexpr CliOption channelOption() {
    return {.name = "--channel",
            .takes = CliOption::Takes::number,
            .what = "channel",
            .first = 1,
            .last = 16};
}

// What a command line held: the options in the order given, and the other words.
struct CliParse {
    struct Use {
        std::string_view option;
        int number = 0;
        std::string word;
        int second = 0;
    };
    std::vector<Use> uses;
    std::vector<std::string> positionals;

    // The last use of an option, or null.
    const Use* last(std::string_view option) const;
    bool given(std::string_view option) const { return last(option) != nullptr; }
    std::optional<int> number(std::string_view option) const;
    std::optional<std::string> word(std::string_view option) const;
    // The nth other word, "" when there are fewer.
    std::string positional(std::size_t n) const;
};

// The words after a command name, parsed against a command's table of options. A failure
// records a usage message (the first one wins), so a command parses its whole line and then
// asks `ok()` once.
class CliArguments {
public:
    CliArguments(std::string command, std::vector<std::string> words);

    // Takes every word: the options of the table, up to `positionals` other words. A word that
    // looks like an option but is not one is refused, and so is any word beyond the others
    // (for a command with neither options nor other words, every word is "unexpected").
    CliParse parse(std::span<const CliOption> options, std::size_t positionals);

    // True when "-h" or "--help" is among the words.
    bool wantsHelp() const;

    void fail(const std::string& message);
    bool ok() const { return error_.empty(); }
    // "vaneto COMMAND: message"
    const std::string& error() const { return error_; }
    const std::string& command() const { return command_; }

private:
    // The words one after the other; every taking operation that fails records a usage
    // message and answers an empty result.
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

    std::string command_;
    std::vector<std::string> words_;
    std::size_t position_ = 0;
    std::string error_;
};
