#include "cli/SendProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace {

constexpr int barWidth = 30;

} // namespace

SendProgress::SendProgress(std::ostream& stream, bool terminal)
    : stream_(stream), terminal_(terminal) {}

std::string SendProgress::minutes(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void SendProgress::status(const std::string& text) {
    if (text.empty()) {
        return;
    }
    finish();
    stream_ << text << '\n' << std::flush;
}

void SendProgress::update(int bank, int count, double elapsed, double estimate,
                          double laterSeconds) {
    const double fraction = estimate > 0 ? std::clamp(elapsed / estimate, 0.0, 1.0) : 1.0;
    const int percent = static_cast<int>(fraction * 100.0);
    const std::string left =
        minutes(std::max(0.0, estimate - elapsed) + std::max(0.0, laterSeconds)) + " left";
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
