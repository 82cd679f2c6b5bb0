#include "cli/SendProgress.h"

#include "transfer/TransferEngine.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace {

constexpr int barWidth = 30;

} // namespace

SendProgress::SendProgress(std::ostream& stream, bool terminal)
    : stream_(stream), terminal_(terminal) {}

void SendProgress::plan(std::vector<int> banks, std::vector<double> estimates) {
    banks_ = std::move(banks);
    estimates_ = std::move(estimates);
    estimates_.resize(banks_.size(), 0.0);
}

int SendProgress::place(int bank, double& laterSeconds) const {
    laterSeconds = 0.0;
    const auto found = std::find(banks_.begin(), banks_.end(), bank);
    if (found == banks_.end()) {
        return -1;
    }
    const auto k = static_cast<std::size_t>(found - banks_.begin());
    for (std::size_t j = k + 1; j < estimates_.size(); ++j) {
        laterSeconds += estimates_[j];
    }
    return static_cast<int>(k);
}

void SendProgress::status(const std::string& text) {
    // The steps in between mean little to a reader of the terminal.
    if (text.empty() || text == TransferEngine::willStartText ||
        text == TransferEngine::startedText || text == TransferEngine::stoppedText) {
        return;
    }
    finish();
    stream_ << text << '\n' << std::flush;
}

void SendProgress::showProgress(bool shown) {
    if (!shown) {
        finish();
    }
}

void SendProgress::progress(int bank, std::int64_t elapsedSeconds, double estimateSeconds) {
    double later = 0.0;
    const int k = place(bank, later);
    if (k >= 0 && estimateSeconds > 0) {
        update(k + 1, static_cast<int>(banks_.size()), static_cast<double>(elapsedSeconds),
               estimateSeconds, later);
    }
}

void SendProgress::bankEnded(int bank, bool whole) {
    double later = 0.0;
    const int k = place(bank, later);
    if (whole && k >= 0) {
        const double estimate = estimates_[static_cast<std::size_t>(k)];
        update(k + 1, static_cast<int>(banks_.size()), estimate, estimate, later);
    }
    finish();
}

void SendProgress::update(int bank, int count, double elapsed, double estimate,
                          double laterSeconds) {
    const double fraction = estimate > 0 ? std::clamp(elapsed / estimate, 0.0, 1.0) : 1.0;
    const int percent = static_cast<int>(fraction * 100.0);
    const std::string left =
        TransferEngine::minutes(std::max(0.0, estimate - elapsed) + std::max(0.0, laterSeconds)) +
        " left";
    if (terminal_) {
        const int filled = static_cast<int>(fraction * barWidth);
        char line[160];
        std::snprintf(line, sizeof line, "\r\033[K[%s%s] bank %d of %d  %3d%%  %s",
                      std::string(static_cast<std::size_t>(filled), '#').c_str(),
                      std::string(static_cast<std::size_t>(barWidth - filled), '.').c_str(), bank,
                      count, percent, left.c_str());
        stream_ << line << std::flush;
        lineOpen_ = true;
        return;
    }
    if (bank != lastBank_) {
        lastBank_ = bank;
        lastTenth_ = -1;
    }
    const int tenth = percent / 10;
    if (tenth != lastTenth_) {
        lastTenth_ = tenth;
        stream_ << "bank " << bank << " of " << count << ": " << percent << "%, " << left << '\n'
                << std::flush;
    }
}

void SendProgress::finish() {
    if (lineOpen_) {
        stream_ << '\n' << std::flush;
        lineOpen_ = false;
    }
}
