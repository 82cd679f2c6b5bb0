#include "RecordingEditorView.h"

RecordingEditorView::RecordingEditorView() {
    // The template's channel list.
    items_[ChannelList].push_back("1");
    for (int channel = 2; channel <= 16; ++channel) {
        items_[ChannelList].push_back(" " + std::to_string(channel));
    }
    selection_[ChannelList] = -1;
    selection_[BankList] = -1;
    selection_[PortList] = -1;
    visible_[ProgressBar] = true;
}

void RecordingEditorView::answerMessageBoxes(std::vector<int> answers) {
    std::lock_guard lock(mutex_);
    answers_.assign(answers.begin(), answers.end());
}

void RecordingEditorView::chooseFiles(std::vector<std::string> paths) {
    std::lock_guard lock(mutex_);
    files_.assign(paths.begin(), paths.end());
}

void RecordingEditorView::closeGateAt(const std::string& prefix) {
    std::lock_guard lock(mutex_);
    gatePrefix_ = prefix;
    gateClosed_ = true;
}

bool RecordingEditorView::waitAtGate(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return waitingAtGate_; });
}

void RecordingEditorView::openGate() {
    std::lock_guard lock(mutex_);
    gateClosed_ = false;
    changed_.notify_all();
}

void RecordingEditorView::clearRecords() {
    std::lock_guard lock(mutex_);
    statusTexts_.clear();
    progress_.clear();
    messageBoxes_.clear();
    log_.clear();
}

std::vector<std::string> RecordingEditorView::statusTexts() const {
    std::lock_guard lock(mutex_);
    return statusTexts_;
}

std::vector<RecordingEditorView::ProgressCall> RecordingEditorView::progressCalls() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

std::vector<RecordingEditorView::MessageBoxCall> RecordingEditorView::messageBoxes() const {
    std::lock_guard lock(mutex_);
    return messageBoxes_;
}

std::vector<std::string> RecordingEditorView::items(int control) const {
    std::lock_guard lock(mutex_);
    const auto it = items_.find(control);
    return it == items_.end() ? std::vector<std::string>{} : it->second;
}

int RecordingEditorView::fileDialogs() const {
    std::lock_guard lock(mutex_);
    return fileDialogs_;
}

int RecordingEditorView::beeps() const {
    std::lock_guard lock(mutex_);
    return beeps_;
}

int RecordingEditorView::focus() const {
    std::lock_guard lock(mutex_);
    return focus_;
}

bool RecordingEditorView::visible(int control) const {
    std::lock_guard lock(mutex_);
    const auto it = visible_.find(control);
    return it == visible_.end() || it->second;
}

std::vector<int> RecordingEditorView::endedWith() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

std::vector<std::string> RecordingEditorView::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void RecordingEditorView::clearList(int control) {
    std::lock_guard lock(mutex_);
    items_[control].clear();
    selection_[control] = -1;
    log_.push_back("clear " + std::to_string(control));
}

void RecordingEditorView::appendToList(int control, const std::string& text) {
    std::lock_guard lock(mutex_);
    items_[control].push_back(text);
    log_.push_back("append " + std::to_string(control) + " " + text);
}

int RecordingEditorView::listSelection(int control) {
    std::lock_guard lock(mutex_);
    return selection_.count(control) != 0 ? selection_[control] : -1;
}

void RecordingEditorView::setListSelection(int control, int index) {
    std::lock_guard lock(mutex_);
    const int count = static_cast<int>(items_[control].size());
    selection_[control] = index >= 0 && index < count ? index : -1;
    log_.push_back("select " + std::to_string(control) + " " + std::to_string(index));
}

bool RecordingEditorView::isChecked(int control) {
    std::lock_guard lock(mutex_);
    return checked_[control];
}

void RecordingEditorView::setChecked(int control, bool checked) {
    std::lock_guard lock(mutex_);
    checked_[control] = checked;
    // The two options form one group.
    if (checked && (control == SelectedBankOption || control == AllBanksOption)) {
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
    if (control != StatusLine) {
        return;
    }
    statusTexts_.push_back(text);
    if (gateClosed_ && text.rfind(gatePrefix_, 0) == 0) {
        waitingAtGate_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !gateClosed_; });
        waitingAtGate_ = false;
    }
}

void RecordingEditorView::setProgressRange(int control, std::uint16_t low, std::uint16_t high) {
    std::lock_guard lock(mutex_);
    if (control == ProgressBar) {
        progress_.push_back({ProgressCall::Kind::range, low, high});
    }
}

void RecordingEditorView::setProgressPosition(int control, int position) {
    std::lock_guard lock(mutex_);
    if (control == ProgressBar) {
        progress_.push_back({ProgressCall::Kind::position, position, 0});
    }
}

void RecordingEditorView::showControl(int control, bool visible) {
    std::lock_guard lock(mutex_);
    visible_[control] = visible;
    if (control == ProgressBar) {
        progress_.push_back({visible ? ProgressCall::Kind::show : ProgressCall::Kind::hide, 0, 0});
    }
}

void RecordingEditorView::setFocus(int control) {
    std::lock_guard lock(mutex_);
    focus_ = control;
}

int RecordingEditorView::messageBox(const std::string& text, const std::string& caption,
                                    Buttons buttons, Icon icon) {
    std::lock_guard lock(mutex_);
    messageBoxes_.push_back({text, caption, buttons, icon});
    log_.push_back("messageBox " + caption);
    if (!answers_.empty()) {
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return buttons == Buttons::YesNo ? IdYes : IdOk;
}

void RecordingEditorView::beep() {
    std::lock_guard lock(mutex_);
    ++beeps_;
    log_.push_back("beep");
}

std::optional<std::string> RecordingEditorView::nextFile() {
    std::lock_guard lock(mutex_);
    ++fileDialogs_;
    if (files_.empty()) {
        return std::nullopt;
    }
    std::string path = files_.front();
    files_.pop_front();
    return path;
}

std::optional<std::string> RecordingEditorView::openFileName() {
    return nextFile();
}

std::optional<std::string> RecordingEditorView::saveFileName(const std::string&, const std::string&,
                                                             const std::string&) {
    return nextFile();
}

void RecordingEditorView::showAboutBox() {
    std::lock_guard lock(mutex_);
    log_.push_back("about");
}

void RecordingEditorView::endDialog(int result) {
    std::lock_guard lock(mutex_);
    ended_.push_back(result);
}
