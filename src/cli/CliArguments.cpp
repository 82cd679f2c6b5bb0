#include "cli/CliArguments.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace {

bool looksLikeOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

} // namespace

const CliParse::Use* CliParse::last(std::string_view option) const {
    const auto found = std::find_if(uses.rbegin(), uses.rend(),
                                    [&](const Use& use) { return use.option == option; });
    return found == uses.rend() ? nullptr : &*found;
}

std::optional<int> CliParse::number(std::string_view option) const {
    const Use* use = last(option);
    return use ? std::optional<int>(use->number) : std::nullopt;
}

std::optional<std::string> CliParse::word(std::string_view option) const {
    const Use* use = last(option);
    return use ? std::optional<std::string>(use->word) : std::nullopt;
}

std::string CliParse::positional(std::size_t n) const {
    return n < positionals.size() ? positionals[n] : std::string();
}

CliArguments::CliArguments(std::string command, std::vector<std::string> words)
    : command_(std::move(command)), words_(std::move(words)) {}

std::string CliArguments::next() {
    return atEnd() ? std::string() : words_[position_++];
}

std::optional<std::string> CliArguments::value(const std::string& option) {
    if (atEnd() || looksLikeOption(peek())) {
        fail(option + " needs a value");
        return std::nullopt;
    }
    return next();
}

std::optional<std::string> CliArguments::text(const std::string& option) {
    if (atEnd()) {
        fail(option + " needs a value");
        return std::nullopt;
    }
    return next();
}

std::optional<int> CliArguments::number(const std::string& option, const std::string& what,
                                        int first, int last) {
    const std::optional<std::string> word = value(option);
    if (!word) {
        return std::nullopt;
    }
    int result = 0;
    const char* begin = word->data();
    const char* end = begin + word->size();
    const auto [stop, code] = std::from_chars(begin, end, result);
    if (word->empty() || code != std::errc() || stop != end || result < first || result > last) {
        fail(what + " must be " + std::to_string(first) + " to " + std::to_string(last) +
             ", not '" + *word + "'");
        return std::nullopt;
    }
    return result;
}

CliParse CliArguments::parse(std::span<const CliOption> options, std::size_t positionals) {
    using Takes = CliOption::Takes;
    CliParse result;
    while (!atEnd() && ok()) {
        std::string word = next();
        auto option = std::find_if(options.begin(), options.end(),
                                   [&](const CliOption& o) { return o.name == word; });
        // "--name=value" for an option that may carry its value joined.
        std::optional<std::string> attached;
        if (const auto equals = word.find('=');
            option == options.end() && looksLikeOption(word) && equals != std::string::npos) {
            const std::string name = word.substr(0, equals);
            const auto joined =
                std::find_if(options.begin(), options.end(), [&](const CliOption& o) {
                    return o.name == name && o.takes == Takes::optionalAttached;
                });
            if (joined != options.end()) {
                attached = word.substr(equals + 1);
                word = name;
                option = joined;
            }
        }
        if (option == options.end()) {
            if (looksLikeOption(word) && (!options.empty() || positionals != 0)) {
                fail("unknown option '" + word + "'");
            } else if (result.positionals.size() < positionals) {
                result.positionals.push_back(word);
            } else {
                fail("unexpected argument '" + word + "'");
            }
            continue;
        }
        if (option->once && result.given(option->name)) {
            fail(word + " given twice");
            continue;
        }
        CliParse::Use use{option->name, 0, {}};
        std::optional<std::string> taken = std::string();
        const Takes takes = option->takes;
        const bool two = takes == Takes::numbersThenValue || takes == Takes::numbersThenText;
        if (takes == Takes::number || takes == Takes::numberThenValue ||
            takes == Takes::numberThenText || two) {
            const std::optional<int> n =
                number(word, std::string(option->what), option->first, option->last);
            if (!n) {
                continue;
            }
            use.number = *n;
            std::string said = word + " " + std::to_string(*n);
            if (two) {
                const std::optional<int> m = number(said, std::string(option->secondWhat),
                                                    option->secondFirst, option->secondLast);
                if (!m) {
                    continue;
                }
                use.second = *m;
                said += " " + std::to_string(*m);
            }
            if ((takes == Takes::numberThenValue || takes == Takes::numbersThenValue) &&
                !option->missing.empty() && (atEnd() || looksLikeOption(peek()))) {
                fail(std::string(option->missing) + " is missing after " + said);
                continue;
            }
        }
        if (takes == Takes::optionalAttached) {
            taken = attached.value_or(std::string());
        } else if (takes == Takes::value || takes == Takes::numberThenValue ||
                   takes == Takes::numbersThenValue) {
            taken = value(word);
        } else if (takes == Takes::text || takes == Takes::numberThenText ||
                   takes == Takes::numbersThenText) {
            taken = text(word);
        }
        if (taken) {
            use.word = std::move(*taken);
            result.uses.push_back(std::move(use));
        }
    }
    return result;
}

bool CliArguments::wantsHelp() const {
    for (const std::string& word : words_) {
        if (word == "-h" || word == "--help") {
            return true;
        }
    }
    return false;
}

void CliArguments::fail(const std::string& message) {
    if (error_.empty()) {
        error_ = "vaneto " + command_ + ": " + message;
    }
}
