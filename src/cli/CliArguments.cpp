#include "cli/CliArguments.h"

#include <charconv>
#include <utility>

CliArguments::CliArguments(std::string command, std::vector<std::string> words)
    : command_(std::move(command)), words_(std::move(words)) {}

std::string CliArguments::next() {
    return atEnd() ? std::string() : words_[position_++];
}

std::optional<std::string> CliArguments::value(const std::string& option) {
    if (atEnd() || (peek().size() > 1 && peek()[0] == '-' && peek() != "-")) {
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
