#include "app/qt/QtEditorDialog.h"

#include "app/TransferEngine.h"
#include "app/VanetoEditorController.h"
#include "app/qt/DialogUnitLayout.h"
#include "app/qt/QtEditorQuestions.h"
#include "app/qt/QtText.h"
#include "app/qt/WaveTablePanel.h"
#include "app/qt/WaveformPanel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

// Template size of the dialog in dialog units, and the waveform panel added under it.
constexpr int dialogWidthUnits = 526;
constexpr int templateHeightUnits = 214;
constexpr int panelHeightUnits = 74;
constexpr int dialogHeightUnits = templateHeightUnits + panelHeightUnits;
constexpr int panelY = templateHeightUnits + 2;
// The wave panel of a wavetable bank, in place of the waveform.
constexpr int wavesHeightUnits = 150;
// The progress bar's row in dialog units, and the Stop button at its right end.
constexpr int progressX = 150, progressY = 198, progressWidth = 366, progressHeight = 8;
constexpr int stopX = 470, stopY = 196, stopWidth = 46, stopHeight = 12;

QLabel* staticText(const QString& caption, Qt::Alignment horizontal, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setAlignment(horizontal | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QFrame* etchedLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

QtEditorDialog::QtEditorDialog(QWidget* parent)
    : QDialog(parent), questions_(std::make_unique<QtEditorQuestions>(this)) {
    setWindowTitle(QStringLiteral("VanetoEditor"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/vaneto-editor-%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);

    buildControls();
    layoutControls();
    layout_.fitToScreen();

    // Undo and redo for the whole window; inside a name edit its own text undo comes first
    // (the edit takes these keys before the window's shortcuts).
    const auto undo = command(&VanetoEditorController::undo);
    const auto redo = command(&VanetoEditorController::redo);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this), &QShortcut::activated, this,
            undo);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this),
            &QShortcut::activated, this, redo);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), this), &QShortcut::activated, this,
            redo);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { showAboutBox(); });
}

QtEditorDialog::~QtEditorDialog() = default;

std::function<void()> QtEditorDialog::command(void (VanetoEditorController::*member)()) {
    return [this, member] {
        if (controller_ != nullptr) {
            (controller_->*member)();
        }
    };
}

void QtEditorDialog::setController(VanetoEditorController* controller) {
    controller_ = controller;
    wavePanel_->setController(controller);
    waveform_->setController(controller);
}

template <typename W>
W* QtEditorDialog::place(W* widget, int id, int x, int y, int width, int height) {
    layout_.place(widget, x, y, width, height);
    if (id != 0) {
        controls_[id] = widget;
        widget->setObjectName(QStringLiteral("control%1").arg(id));
    }
    return widget;
}

void QtEditorDialog::buildControls() {
    // Template order, which is also the tab order.
    bankList_ = place(new QListWidget(this), BankList, 24, 28, 114, 102);
    bankList_->setSelectionMode(QAbstractItemView::SingleSelection);
    bankList_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    bankList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bankNameEdit_ = place(new QLineEdit(this), BankNameEdit, 204, 31, 204, 14);
    sampleNameEdit_ = place(new QLineEdit(this), SampleNameEdit, 204, 79, 204, 14);
    auto* openButton = place(new QPushButton(QStringLiteral("Open from Disk..."), this), OpenButton,
                             18, 145, 66, 14);
    auto* saveButton = place(new QPushButton(QStringLiteral("Save to Disk..."), this), SaveButton,
                             18, 169, 66, 14);
    auto* sendButton = place(new QPushButton(QStringLiteral("Send to Vaneto"), this), SendButton,
                             414, 169, 83, 14);
    auto* importButton =
        place(new QPushButton(QStringLiteral("Open..."), this), ImportButton, 414, 79, 85, 14);
    auto* resetButton = place(new QPushButton(QStringLiteral("Reset to Default"), this),
                              ResetButton, 162, 121, 66, 14);
    auto* optionFrame =
        place(new QGroupBox(QStringLiteral("Save/Send Option"), this), 0, 150, 145, 72, 36);
    selectedBankOption_ = place(new QRadioButton(QStringLiteral("selected bank"), this),
                                SelectedBankOption, 156, 156, 57, 8);
    allBanksOption_ =
        place(new QRadioButton(QStringLiteral("all banks"), this), AllBanksOption, 156, 169, 57, 8);
    place(staticText(QStringLiteral("Vaneto MIDI Channel"), Qt::AlignRight, this), 0, 300, 172, 71,
          8);
    channelList_ = place(new QComboBox(this), ChannelList, 378, 170, 30, 150);
    place(staticText(QStringLiteral("MIDI OUT Port"), Qt::AlignRight, this), 0, 234, 148, 48, 8);
    portList_ = place(new QComboBox(this), PortList, 288, 146, 120, 119);
    auto* outerFrame = place(new QGroupBox(this), 0, 12, 12, 503, 180);
    place(staticText(QStringLiteral("Bankname"), Qt::AlignLeft, this), 0, 162, 33, 36, 8);
    place(staticText(QStringLiteral("Sample"), Qt::AlignLeft, this), 0, 162, 81, 36, 8);
    auto* okButton = place(new QPushButton(QStringLiteral("OK"), this), 1, 90, 145, 50, 12);
    auto* cancelButton = place(new QPushButton(QStringLiteral("Cancel"), this), 2, 90, 169, 50, 12);
    versionText_ = place(staticText(QStringLiteral("<< VersionString >>"), Qt::AlignRight, this),
                         VersionText, 12, 6, 504, 8);
    auto* listFrame = place(new QGroupBox(this), 0, 18, 18, 126, 120);
    auto* nameFrame = place(new QGroupBox(this), 0, 150, 18, 359, 121);
    auto* bankLine = place(etchedLine(this), 0, 162, 49, 336, 1);
    auto* sampleLine = place(etchedLine(this), 0, 162, 114, 336, 1);
    progressBar_ = place(new QProgressBar(this), ProgressBar, progressX, progressY, progressWidth,
                         progressHeight);
    statusLine_ = place(staticText(QStringLiteral("Statisch"), Qt::AlignRight, this), StatusLine,
                        18, 198, 126, 8);

    // Frames and lines lie beneath the controls they surround.
    for (QWidget* frame : std::initializer_list<QWidget*>{optionFrame, outerFrame, listFrame,
                                                          nameFrame, bankLine, sampleLine}) {
        frame->lower();
        frame->setFocusPolicy(Qt::NoFocus);
    }

    // The hidden OK and Cancel buttons only carry Enter and Esc.
    okButton->setVisible(false);
    okButton->setDefault(true);
    cancelButton->setVisible(false);
    connect(okButton, &QPushButton::clicked, this, &QtEditorDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QtEditorDialog::reject);

    optionGroup_ = new QButtonGroup(this);
    optionGroup_->addButton(selectedBankOption_);
    optionGroup_->addButton(allBanksOption_);
    optionGroup_->setExclusive(true);

    channelList_->addItem(QStringLiteral("1"));
    for (int channel = 2; channel <= 16; ++channel) {
        channelList_->addItem(QStringLiteral(" %1").arg(channel));
    }
    channelList_->setMaxVisibleItems(16);

    progressBar_->setTextVisible(true);
    progressBar_->setAlignment(Qt::AlignCenter);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setFormat(QString());

    // Not part of the template: only shown while a transfer runs, so it needs no tab stop.
    stopButton_ = new QPushButton(QStringLiteral("Stop"), this);
    stopButton_->setObjectName(QStringLiteral("control%1").arg(StopButton));
    stopButton_->setFocusPolicy(Qt::NoFocus);
    stopButton_->setVisible(false);
    controls_[StopButton] = stopButton_;
    // The waveform panel under the template.
    waveform_ = place(new WaveformPanel(this), 0, 12, panelY, 456, 56);
    waveform_->setObjectName(QStringLiteral("waveform"));
    // Its figures change with the bank: they do not widen the dialog.
    waveformLine_ =
        layout_.place(staticText(QString(), Qt::AlignLeft, this), 12, panelY + 59, 504, 8, false);
    waveformLine_->setObjectName(QStringLiteral("waveformLine"));
    playButton_ = place(new QPushButton(QStringLiteral("Play"), this), 0, 474, panelY, 42, 14);
    playButton_->setObjectName(QStringLiteral("play"));
    playButton_->setFocusPolicy(Qt::NoFocus);
    playButton_->setEnabled(false);
    connect(playButton_, &QPushButton::clicked, this,
            command(&VanetoEditorController::togglePlayback));
    // A wavetable bank shows its waves in place of the waveform; the two options beside the
    // panel choose the bank's layout.
    wavePanel_ = new WaveTablePanel(this);
    wavePanel_->setVisible(false);
    oneSampleOption_ =
        place(new QRadioButton(QStringLiteral("One sample"), this), 0, 474, panelY + 20, 50, 10);
    wavesOption_ =
        place(new QRadioButton(QStringLiteral("256 waves"), this), 0, 474, panelY + 32, 50, 10);
    oneSampleOption_->setObjectName(QStringLiteral("oneSample"));
    wavesOption_->setObjectName(QStringLiteral("waves"));
    // Outside the template's tab order, as the Play button is.
    oneSampleOption_->setFocusPolicy(Qt::NoFocus);
    wavesOption_->setFocusPolicy(Qt::NoFocus);
    auto* note = place(staticText(QString(), Qt::AlignLeft, this), 0, 474, panelY + 46, 50, 8);
    note->setObjectName(QStringLiteral("control%1").arg(NoteText));
    note->setVisible(false);
    controls_[NoteText] = note;
    auto* layoutGroup = new QButtonGroup(this);
    layoutGroup->addButton(oneSampleOption_);
    layoutGroup->addButton(wavesOption_);
    oneSampleOption_->setChecked(true);
    connect(wavesOption_, &QRadioButton::clicked, this, [this] {
        if (controller_ != nullptr) {
            controller_->setLayout(false);
        }
    });
    connect(oneSampleOption_, &QRadioButton::clicked, this, [this] {
        if (controller_ != nullptr) {
            controller_->setLayout(true);
        }
    });
    playhead_ = new QTimer(this);
    playhead_->setInterval(30);
    connect(playhead_, &QTimer::timeout, this, [this] {
        if (controller_ == nullptr || !controller_->isPlaying()) {
            showPlayback(playbackAvailable_, false, playbackUnavailable_.toStdString());
            return;
        }
        waveform_->setPlayhead(static_cast<long>(controller_->playbackPosition()));
    });

    // Files are dropped on the window, not into the name edits.
    setAcceptDrops(true);
    bankNameEdit_->setAcceptDrops(false);
    sampleNameEdit_->setAcceptDrops(false);
    bankList_->installEventFilter(this);

    connect(stopButton_, &QPushButton::clicked, this,
            command(&VanetoEditorController::stopTransfer));

    bankNameEdit_->installEventFilter(this);
    sampleNameEdit_->installEventFilter(this);

    QWidget::setTabOrder(bankList_, bankNameEdit_);
    QWidget::setTabOrder(bankNameEdit_, sampleNameEdit_);
    QWidget::setTabOrder(sampleNameEdit_, openButton);
    QWidget::setTabOrder(openButton, saveButton);
    QWidget::setTabOrder(saveButton, sendButton);
    QWidget::setTabOrder(sendButton, importButton);
    QWidget::setTabOrder(importButton, resetButton);
    QWidget::setTabOrder(resetButton, selectedBankOption_);
    QWidget::setTabOrder(selectedBankOption_, allBanksOption_);
    QWidget::setTabOrder(allBanksOption_, channelList_);
    QWidget::setTabOrder(channelList_, portList_);

    // A transfer reads the option once its port is open: the controller hears every toggle.
    connect(selectedBankOption_, &QRadioButton::toggled, this,
            command(&VanetoEditorController::sendOptionChanged));
    connect(bankList_, &QListWidget::currentRowChanged, this, [this](int) {
        // A range marked on one bank is no range of another.
        waveform_->clearRange();
        if (controller_ != nullptr) {
            controller_->showSelectedBank();
        }
    });
    connect(resetButton, &QPushButton::clicked, this,
            command(&VanetoEditorController::resetToDefault));
    connect(importButton, &QPushButton::clicked, this,
            command(&VanetoEditorController::importSample));
    connect(sendButton, &QPushButton::clicked, this, command(&VanetoEditorController::sendBanks));
    connect(openButton, &QPushButton::clicked, this,
            command(&VanetoEditorController::openFromDisk));
    connect(saveButton, &QPushButton::clicked, this, command(&VanetoEditorController::saveToDisk));
}

QRect QtEditorDialog::mapDialogRect(int x, int y, int width, int height) const {
    return layout_.rect(x, y, width, height);
}

void QtEditorDialog::layoutControls() {
    layout_.apply();
    layoutProgressRow();
    layoutPanel();
}

void QtEditorDialog::layoutPanel() {
    QRect whole = mapDialogRect(0, 0, dialogWidthUnits, dialogHeightUnits);
    if (wavePanel_ != nullptr) {
        waveform_->setVisible(!wavesShown_);
        wavePanel_->setVisible(wavesShown_);
        control(NoteText)->setVisible(wavesShown_);
    }
    if (wavesShown_ && wavePanel_ != nullptr) {
        // As tall as the waves need (their cells at least 24 x 16 pixels), the line under it.
        QRect area = mapDialogRect(12, panelY, 456, wavesHeightUnits);
        area.setHeight(std::max(area.height(), wavePanel_->minimumSizeHint().height()));
        area.setWidth(std::max(area.width(), wavePanel_->minimumSizeHint().width()));
        wavePanel_->setGeometry(area);
        const QRect line = mapDialogRect(12, 0, 504, 8);
        waveformLine_->setGeometry(line.left(), area.bottom() + 4, line.width(), line.height());
        whole.setHeight(waveformLine_->geometry().bottom() + mapDialogRect(0, 0, 0, 6).height());
        whole.setWidth(std::max(whole.width(), area.right() + mapDialogRect(0, 0, 58, 0).width()));
    } else if (wavePanel_ != nullptr) {
        waveformLine_->setGeometry(mapDialogRect(12, panelY + 59, 504, 8));
    }
    setFixedSize(whole.size());
    layout_.keepOnScreen();
}

void QtEditorDialog::layoutProgressRow() {
    const QRect stop = mapDialogRect(stopX, stopY, stopWidth, stopHeight);
    stopButton_->setGeometry(stop.adjusted(
        0, 0, 0, std::max(0, stopButton_->minimumSizeHint().height() - stop.height())));
    const int width = stopButton_->isVisibleTo(this) ? stopX - 4 - progressX : progressWidth;
    progressBar_->setGeometry(mapDialogRect(progressX, progressY, width, progressHeight));
}

QWidget* QtEditorDialog::control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void QtEditorDialog::clearList(int id) {
    if (id == BankList) {
        const QSignalBlocker blocker(bankList_);
        bankList_->clear();
    } else if (auto* combo = qobject_cast<QComboBox*>(control(id))) {
        const QSignalBlocker blocker(combo);
        combo->clear();
    }
}

void QtEditorDialog::appendToList(int id, const std::string& text) {
    if (id == BankList) {
        const QSignalBlocker blocker(bankList_);
        bankList_->addItem(fromUtf8(text));
    } else if (auto* combo = qobject_cast<QComboBox*>(control(id))) {
        const QSignalBlocker blocker(combo);
        combo->addItem(fromUtf8(text));
    }
}

int QtEditorDialog::listSelection(int id) {
    if (id == BankList) {
        return bankList_->currentRow();
    }
    if (auto* combo = qobject_cast<QComboBox*>(control(id))) {
        return combo->currentIndex();
    }
    return -1;
}

void QtEditorDialog::setListSelection(int id, int index) {
    // A selection made by the program is not reported as a user's change.
    if (id == BankList) {
        const QSignalBlocker blocker(bankList_);
        const bool inRange = index >= 0 && index < bankList_->count();
        bankList_->setCurrentRow(inRange ? index : -1);
    } else if (auto* combo = qobject_cast<QComboBox*>(control(id))) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

bool QtEditorDialog::isChecked(int id) {
    auto* button = qobject_cast<QRadioButton*>(control(id));
    return button != nullptr && button->isChecked();
}

void QtEditorDialog::setChecked(int id, bool checked) {
    auto* button = qobject_cast<QRadioButton*>(control(id));
    if (button == nullptr) {
        return;
    }
    if (checked) {
        button->setChecked(true);
    } else {
        // An exclusive group cannot be emptied directly.
        optionGroup_->setExclusive(false);
        button->setChecked(false);
        optionGroup_->setExclusive(true);
    }
}

std::string QtEditorDialog::text(int id) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return toUtf8(edit->text());
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return toUtf8(label->text());
    }
    return std::string();
}

void QtEditorDialog::setText(int id, const std::string& text) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(fromUtf8(text));
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(fromUtf8(text));
    }
}

void QtEditorDialog::setProgressRange(int id, std::uint16_t low, std::uint16_t high) {
    if (id == ProgressBar) {
        progressBar_->setRange(low, std::max(low + 1, int(high)));
        progressBar_->setFormat(QString());
    }
}

void QtEditorDialog::setProgressPosition(int id, int position) {
    if (id == ProgressBar) {
        progressBar_->setValue(
            std::clamp(position, progressBar_->minimum(), progressBar_->maximum()));
        // While a bank plays, the bar tells the time left of it.
        const int left = progressBar_->maximum() - progressBar_->value();
        progressBar_->setFormat(position > 0
                                    ? QString::fromStdString(TransferEngine::minutes(left)) +
                                          QStringLiteral(" left")
                                    : QString());
    }
}

void QtEditorDialog::showControl(int id, bool visible) {
    if (QWidget* widget = control(id)) {
        widget->setVisible(visible);
    }
    if (id == StopButton) {
        layoutProgressRow();
    }
}

void QtEditorDialog::setFocus(int id) {
    if (QWidget* widget = control(id)) {
        widget->setFocus(Qt::OtherFocusReason);
    }
}

void QtEditorDialog::quit() {
    questions_->quit();
}

int QtEditorDialog::messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                               Icon icon) {
    return questions_->messageBox(text, caption, buttons, icon);
}

std::optional<std::string> QtEditorDialog::openFileName() {
    return questions_->openFileName();
}

std::optional<std::string> QtEditorDialog::saveFileName(const std::string& filterName,
                                                        const std::string& pattern,
                                                        const std::string& defaultExtension) {
    return questions_->saveFileName(filterName, pattern, defaultExtension);
}

void QtEditorDialog::showAboutBox() {
    questions_->showAboutBox();
}

std::optional<std::size_t> QtEditorDialog::chooseFrameSize(std::size_t frames,
                                                           std::size_t suggested) {
    return questions_->chooseFrameSize(frames, suggested);
}

std::optional<double>
QtEditorDialog::choosePart(const std::vector<std::pair<float, float>>& overview, double seconds,
                           double partSeconds, double start, std::function<void(double)> preview) {
    return questions_->choosePart(overview, seconds, partSeconds, start, std::move(preview));
}

bool QtEditorDialog::showReading(const std::string& what, std::uint64_t done, std::uint64_t total) {
    return questions_->showReading(what, done, total);
}

void QtEditorDialog::beep() {
    QApplication::beep();
}

void QtEditorDialog::endDialog(int result) {
    done(result);
}

void QtEditorDialog::post(std::function<void()> f) {
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void QtEditorDialog::reject() {
    if (controller_ != nullptr) {
        controller_->onCancel();
    } else {
        QDialog::reject();
    }
}

void QtEditorDialog::accept() {
    if (controller_ != nullptr) {
        controller_->onOk();
    }
}

void QtEditorDialog::showWaveform(std::vector<std::int16_t> values, const std::string& line) {
    waveform_->setValues(std::move(values));
    waveformLine_->setText(fromUtf8(line));
    oneSampleOption_->setChecked(true);
    if (wavesShown_) {
        wavesShown_ = false;
        layoutPanel();
    }
}

void QtEditorDialog::showWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                               const std::string& slotName, const std::string& line) {
    wavePanel_->setWaves(std::move(values), selected, first, last, slotName);
    waveformLine_->setText(fromUtf8(line));
    wavesOption_->setChecked(true);
    if (!wavesShown_) {
        wavesShown_ = true;
        layoutPanel();
        layout_.fitToScreen();
    }
}

void QtEditorDialog::showPlayback(bool available, bool playing, const std::string& why) {
    playbackAvailable_ = available;
    playbackUnavailable_ = fromUtf8(why);
    playButton_->setEnabled(available);
    playButton_->setText(playing ? QStringLiteral("Stop") : QStringLiteral("Play"));
    playButton_->setToolTip(available ? QStringLiteral("Play the selected bank (Space)")
                                      : QStringLiteral("No audio output: ") + playbackUnavailable_);
    if (playing) {
        playhead_->start();
    } else {
        playhead_->stop();
        waveform_->setPlayhead(-1);
    }
}

void QtEditorDialog::showHistory(const std::string& undoText, const std::string& redoText) {
    undoText_ = fromUtf8(undoText);
    redoText_ = fromUtf8(redoText);
}

void QtEditorDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    const bool files =
        !urls.isEmpty() &&
        std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (files) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void QtEditorDialog::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(fileSystemPath(url.toLocalFile()));
        }
    }
    // Dropped on a line of the bank list: into that bank.
    int bank = -1;
    const QPoint at = bankList_->viewport()->mapFrom(this, event->position().toPoint());
    if (bankList_->viewport()->rect().contains(at)) {
        bank = bankList_->indexAt(at).row();
    }
    event->acceptProposedAction();
    if (controller_ != nullptr && !paths.empty()) {
        // After the drop has ended, so that a message box does not run inside it.
        QTimer::singleShot(0, this, [this, paths, bank] {
            if (controller_ != nullptr) {
                controller_->dropFiles(paths, bank);
            }
        });
    }
}

bool QtEditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bankList_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        if (controller_ != nullptr) {
            controller_->togglePlayback();
        }
        return true;
    }
    if (event->type() == QEvent::FocusOut && controller_ != nullptr) {
        if (watched == bankNameEdit_) {
            controller_->commitBankName();
        } else if (watched == sampleNameEdit_) {
            controller_->commitSampleName();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void QtEditorDialog::closeEvent(QCloseEvent* event) {
    // The close box asks like Esc; the controller ends the dialog only when no transfer runs.
    event->ignore();
    reject();
}

void QtEditorDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* about = menu.addAction(QString::fromLatin1(aboutMenuText));
    menu.addSeparator();
    QAction* undo = menu.addAction(undoText_.isEmpty() ? QStringLiteral("Undo") : undoText_);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setEnabled(!undoText_.isEmpty());
    QAction* redo = menu.addAction(redoText_.isEmpty() ? QStringLiteral("Redo") : redoText_);
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    redo->setEnabled(!redoText_.isEmpty());
    QAction* chosen = menu.exec(event->globalPos());
    if (controller_ != nullptr && chosen == undo) {
        controller_->undo();
    } else if (controller_ != nullptr && chosen == redo) {
        controller_->redo();
    } else if (chosen == about) {
        showAboutBox();
    }
}

void QtEditorDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void QtEditorDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        layoutControls();
    }
    QDialog::changeEvent(event);
}
