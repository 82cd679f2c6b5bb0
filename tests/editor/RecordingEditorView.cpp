#include "RecordingEditorView.h"

#include <chrono>

RecordingEditorView::RecordingEditorView() {
    // The template's channel list.
    for (int channel = 1; channel <= 16; ++channel) {
        items_[ChannelList].push_back((channel > 1 ? " " : "") + std::to_string(channel));
    }
}

void RecordingEditorView::script(std::vector<int> boxAnswers, std::vector<std::string> paths) {
    std::lock_guard lock(mutex_);
    answers.assign(boxAnswers.begin(), boxAnswers.end());
    files.assign(paths.begin(), paths.end());
}

void RecordingEditorView::closeGateAt(const std::string& statusPrefix) {
    std::lock_guard lock(mutex_);
    gate_ = statusPrefix;
    gateClosed_ = true;
}

bool RecordingEditorView::waitAtGate() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return atGate_; });
}

void RecordingEditorView::openGate() {
    std::lock_guard lock(mutex_);
    gateClosed_ = false;
    changed_.notify_all();
}

void RecordingEditorView::clearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
    boxes_.clear();
}

std::vector<std::string> RecordingEditorView::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<std::string> RecordingEditorView::logged(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : log()) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line.substr(prefix.size()));
        }
    }
    return found;
}

std::vector<RecordingEditorView::Box> RecordingEditorView::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::string> RecordingEditorView::items(int control) const {
    std::lock_guard lock(mutex_);
    return items_.count(control) ? items_.at(control) : std::vector<std::string>{};
}

int RecordingEditorView::fileDialogs() const {
    std::lock_guard lock(mutex_);
    return fileDialogs_;
}

int RecordingEditorView::focus() const {
    std::lock_guard lock(mutex_);
    return focus_;
}

bool RecordingEditorView::visible(int control) const {
    std::lock_guard lock(mutex_);
    return !visible_.count(control) || visible_.at(control);
}

std::vector<int> RecordingEditorView::endedWith() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

void RecordingEditorView::clearList(int control) {
    std::lock_guard lock(mutex_);
    items_[control].clear();
    selection_[control] = -1;
}

void RecordingEditorView::appendToList(int control, const std::string& text) {
    std::lock_guard lock(mutex_);
    items_[control].push_back(text);
}

int RecordingEditorView::listSelection(int control) {
    std::lock_guard lock(mutex_);
    return selection_.count(control) ? selection_[control] : -1;
}

void RecordingEditorView::setListSelection(int control, int index) {
    std::lock_guard lock(mutex_);
    selection_[control] = index >= 0 && index < int(items_[control].size()) ? index : -1;
}

bool RecordingEditorView::isChecked(int control) {
    std::lock_guard lock(mutex_);
    return checked_[control];
}

void RecordingEditorView::setChecked(int control, bool checked) {
    std::lock_guard lock(mutex_);
    checked_[control] = checked;
    if (checked) { // the two options form one group
        checked_[control == SelectedBankOption ? AllBanksOption : SelectedBankOption] = false;
    }
}

std::string RecordingEditorView::text(int control) {
    std::lock_guard lock(mutex_);
    return texts_[control];
}

void RecordingEditorView::setText(int control, const std::string& text) {
    std::unique_lock lock(mutex_);
    texts_[control] = text;
    if (control == StatusLine) {
        log_.push_back("status " + text);
        if (gateClosed_ && text.rfind(gate_, 0) == 0) {
            atGate_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !gateClosed_; });
            atGate_ = false;
        }
    }
}

void RecordingEditorView::setProgressRange(int, std::uint16_t low, std::uint16_t high) {
    std::lock_guard lock(mutex_);
    log_.push_back("range " + std::to_string(low) + " " + std::to_string(high));
}

void RecordingEditorView::setProgressPosition(int, int position) {
    std::lock_guard lock(mutex_);
    log_.push_back("position " + std::to_string(position));
}

void RecordingEditorView::showControl(int control, bool visible) {
    std::lock_guard lock(mutex_);
    visible_[control] = visible;
    const char* suffix = control == StopButton ? " stop" : "";
    log_.push_back(std::string(visible ? "show" : "hide") + suffix);
}

void RecordingEditorView::showWaveform(std::vector<std::int16_t> values, const std::string& line) {
    std::lock_guard lock(mutex_);
    waveforms_.push_back(std::to_string(values.size()) + " " + line);
}

void RecordingEditorView::showPlayback(bool available, bool playing, const std::string&) {
    std::lock_guard lock(mutex_);
    playbackStates_.push_back(std::string(available ? "1 " : "0 ") + (playing ? "1" : "0"));
}

void RecordingEditorView::showWaves(std::vector<std::int16_t> values, int selected, int first,
                                    int last, const std::string& slotName, const std::string&) {
    std::lock_guard lock(mutex_);
    waveforms_.push_back("waves " + std::to_string(values.size()) + " " + std::to_string(selected) +
                         " " + std::to_string(first) + "-" + std::to_string(last) + " " + slotName);
}

std::optional<std::size_t> RecordingEditorView::chooseFrameSize(std::size_t frames,
                                                                std::size_t suggested) {
    std::lock_guard lock(mutex_);
    frameQuestions.emplace_back(frames, suggested);
    if (frameSizes.empty()) {
        return std::nullopt;
    }
    const std::optional<std::size_t> answer = frameSizes.front();
    frameSizes.erase(frameSizes.begin());
    return answer;
}

std::optional<double>
RecordingEditorView::choosePart(const std::vector<std::pair<float, float>>& overview,
                                double seconds, double, double, std::function<void(double)>) {
    std::lock_guard lock(mutex_);
    partColumns = overview.size();
    partLength = seconds;
    if (partStarts.empty()) {
        return std::nullopt;
    }
    const std::optional<double> answer = partStarts.front();
    partStarts.erase(partStarts.begin());
    return answer;
}

bool RecordingEditorView::showReading(const std::string&, std::uint64_t done, std::uint64_t total) {
    std::lock_guard lock(mutex_);
    ++readingSteps;
    readingDone = done == total;
    return true;
}

void RecordingEditorView::showHistory(const std::string& undoText, const std::string& redoText) {
    std::lock_guard lock(mutex_);
    history_ = {undoText, redoText};
}

std::pair<std::string, std::string> RecordingEditorView::history() const {
    std::lock_guard lock(mutex_);
    return history_;
}

std::vector<std::string> RecordingEditorView::waveforms() const {
    std::lock_guard lock(mutex_);
    return waveforms_;
}

std::vector<std::string> RecordingEditorView::playbackStates() const {
    std::lock_guard lock(mutex_);
    return playbackStates_;
}

void RecordingEditorView::post(std::function<void()> f) {
    f();
}

void RecordingEditorView::setFocus(int control) {
    std::lock_guard lock(mutex_);
    focus_ = control;
}

int RecordingEditorView::messageBox(const std::string& text, const std::string& caption,
                                    Buttons buttons, Icon icon) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({text, caption, buttons, icon});
    log_.push_back("box " + caption);
    int answer = buttons == Buttons::YesNo ? IdYes : IdOk;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    return answer;
}

void RecordingEditorView::beep() {
    std::lock_guard lock(mutex_);
    log_.push_back("beep");
}

std::optional<std::string> RecordingEditorView::openFileName() {
    std::lock_guard lock(mutex_);
    ++fileDialogs_;
    if (files.empty()) {
        return std::nullopt;
    }
    std::string path = files.front();
    files.pop_front();
    return path;
}

std::optional<std::string> RecordingEditorView::saveFileName(const std::string&, const std::string&,
                                                             const std::string&) {
    return openFileName();
}

void RecordingEditorView::showAboutBox() {}

void RecordingEditorView::endDialog(int result) {
    std::lock_guard lock(mutex_);
    ended_.push_back(result);
}
