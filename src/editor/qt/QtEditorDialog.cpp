#include "editor/qt/QtEditorDialog.h"

#include "editor/VanetoEditorController.h"
#include "editor/qt/EditorBankPanel.h"
#include "editor/qt/EditorWindowMenu.h"
#include "editor/qt/QtEditorQuestions.h"
#include "editor/qt/QtText.h"
#include "editor/qt/WindowFileDrops.h"
#include "editor/qt/WorkOfferBar.h"
#include "editor/qt/views/TransferProgressRow.h"
#include "editor/qt/views/WaveformPanel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace {

// Template size of the dialog in dialog units, and the waveform panel added under it.
constexpr int dialogWidthUnits = 526;
constexpr int templateHeightUnits = 214;
constexpr int panelHeightUnits = 74;
constexpr int dialogHeightUnits = templateHeightUnits + panelHeightUnits;
constexpr int panelY = templateHeightUnits + 2;

QFrame* etchedLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

template <void (VanetoEditorController::*Member)()>
std::function<void()> QtEditorDialog::command() {
    return [this] {
        if (controller_ != nullptr) {
            (controller_->*Member)();
        }
    };
}

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
    // Browse... opens what the program gives (the browser window lives beside the window).
    menu_ = new EditorWindowMenu(
        *this, {[this] { showAboutBox(); }, command<&VanetoEditorController::undo>(),
                command<&VanetoEditorController::redo>(), [this] { browse_ ? browse_() : void(); },
                command<&VanetoEditorController::showKeptWork>()});
}

QtEditorDialog::~QtEditorDialog() = default;

void QtEditorDialog::setController(VanetoEditorController* controller) {
    controller_ = controller;
    panel_->setCommands(controller);
    if (controller != nullptr) {
        controller->setResynthesisView(this);
        controller->setWaveShapingView(this);
    }
}

template <typename W>
W* QtEditorDialog::place(W* widget, int id, int x, int y, int width, int height) {
    layout_.place(widget, x, y, width, height);
    if (id != 0) {
        addControl(id, widget);
    }
    return widget;
}

void QtEditorDialog::addControl(int id, QWidget* widget) {
    controls_[id] = widget;
    widget->setObjectName(QStringLiteral("control%1").arg(id));
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
    place(plainLabel(QStringLiteral("Vaneto MIDI Channel"), Qt::AlignRight, this), 0, 300, 172, 71,
          8);
    channelList_ = place(new QComboBox(this), ChannelList, 378, 170, 30, 150);
    place(plainLabel(QStringLiteral("MIDI OUT Port"), Qt::AlignRight, this), 0, 234, 148, 48, 8);
    portList_ = place(new QComboBox(this), PortList, 288, 146, 120, 119);
    auto* outerFrame = place(new QGroupBox(this), 0, 12, 12, 503, 180);
    place(plainLabel(QStringLiteral("Bankname"), Qt::AlignLeft, this), 0, 162, 33, 36, 8);
    place(plainLabel(QStringLiteral("Sample"), Qt::AlignLeft, this), 0, 162, 81, 36, 8);
    auto* okButton = place(new QPushButton(QStringLiteral("OK"), this), 1, 90, 145, 50, 12);
    auto* cancelButton = place(new QPushButton(QStringLiteral("Cancel"), this), 2, 90, 169, 50, 12);
    versionText_ = place(plainLabel(QStringLiteral("<< VersionString >>"), Qt::AlignRight, this),
                         VersionText, 12, 6, 504, 8);
    auto* listFrame = place(new QGroupBox(this), 0, 18, 18, 126, 120);
    auto* nameFrame = place(new QGroupBox(this), 0, 150, 18, 359, 121);
    auto* bankLine = place(etchedLine(this), 0, 162, 49, 336, 1);
    auto* sampleLine = place(etchedLine(this), 0, 162, 114, 336, 1);
    statusLine_ = place(plainLabel(QStringLiteral("Statisch"), Qt::AlignRight, this), StatusLine,
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

    // The progress bar, and the Stop button beside it while a transfer runs.
    progress_ =
        new TransferProgressRow(*this, layout_, command<&VanetoEditorController::stopTransfer>());
    addControl(ProgressBar, progress_->bar());
    addControl(StopButton, progress_->stopButton());
    // The bank's panel under the template.
    panel_ = new EditorBankPanel(*this, layout_, panelY);
    addControl(NoteText, panel_->note());
    panel_->setHandlers({command<&VanetoEditorController::togglePlayback>(),
                         [this](bool single) {
                             if (controller_ != nullptr) {
                                 controller_->setLayout(single);
                             }
                         },
                         [this] {
                             return controller_ != nullptr && controller_->isPlaying()
                                        ? static_cast<long>(controller_->playbackPosition())
                                        : -1L;
                         }});

    // Files are dropped on the window, not into the name edits.
    new WindowFileDrops(*this, *bankList_, [this](const auto& paths, int bank, QPoint at) {
        if (controller_ != nullptr) {
            panel_->selectSlotAt(at);
            controller_->dropFiles(paths, bank);
        }
    });
    offer_ = new WorkOfferBar(*this, {command<&VanetoEditorController::restoreWork>(),
                                      command<&VanetoEditorController::dismissWork>(),
                                      command<&VanetoEditorController::showKeptWork>(),
                                      [this] { layoutPanel(); }});
    bankNameEdit_->setAcceptDrops(false);
    sampleNameEdit_->setAcceptDrops(false);
    bankList_->installEventFilter(this);
    bankNameEdit_->installEventFilter(this);
    sampleNameEdit_->installEventFilter(this);

    const std::initializer_list<QWidget*> tabOrder = {
        bankList_,    bankNameEdit_, sampleNameEdit_,     openButton,      saveButton,   sendButton,
        importButton, resetButton,   selectedBankOption_, allBanksOption_, channelList_, portList_};
    for (auto it = tabOrder.begin(); it + 1 != tabOrder.end(); ++it) {
        QWidget::setTabOrder(*it, *(it + 1));
    }

    // A transfer reads the option once its port is open: the controller hears every toggle.
    connect(selectedBankOption_, &QRadioButton::toggled, this,
            command<&VanetoEditorController::sendOptionChanged>());
    connect(bankList_, &QListWidget::currentRowChanged, this, [this](int) {
        // A range marked on one bank is no range of another.
        panel_->waveform()->clearRange();
        if (controller_ != nullptr) {
            controller_->showSelectedBank();
        }
    });
    connect(resetButton, &QPushButton::clicked, this,
            command<&VanetoEditorController::resetToDefault>());
    connect(importButton, &QPushButton::clicked, this,
            command<&VanetoEditorController::importSample>());
    connect(sendButton, &QPushButton::clicked, this, command<&VanetoEditorController::sendBanks>());
    connect(openButton, &QPushButton::clicked, this,
            command<&VanetoEditorController::openFromDisk>());
    connect(saveButton, &QPushButton::clicked, this,
            command<&VanetoEditorController::saveToDisk>());
}

void QtEditorDialog::layoutControls() {
    layout_.apply();
    progress_->arrange();
    layoutPanel();
}

void QtEditorDialog::layoutPanel() {
    const QSize window = layout_.rect(0, 0, dialogWidthUnits, dialogHeightUnits).size();
    setFixedSize(offer_->arrange(panel_ != nullptr ? panel_->arrange(window) : window));
    layout_.keepOnScreen();
}

WorkOfferView& QtEditorDialog::workOffer() {
    return *offer_;
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
        progress_->setRange(low, high);
    }
}

void QtEditorDialog::setProgressPosition(int id, int position) {
    if (id == ProgressBar) {
        progress_->setPosition(position);
    }
}

void QtEditorDialog::showControl(int id, bool visible) {
    if (QWidget* widget = control(id)) {
        widget->setVisible(visible);
    }
    if (id == StopButton) {
        progress_->arrange();
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
    return questions_->chooseFrameSize(frames, suggested, true);
}

std::optional<WaveShapingView::Choice>
QtEditorDialog::chooseShaping(const WaveShapingView::Setup& setup) {
    return questions_->chooseShaping(setup);
}

std::optional<WaveResynthesis::Result>
QtEditorDialog::chooseResynthesis(const ResynthesisView::Setup& setup) {
    return questions_->chooseResynthesis(setup);
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
    if (panel_->showWaveform(std::move(values), line)) {
        layoutPanel();
    }
}

void QtEditorDialog::showWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                               const std::string& slotName, const std::string& line) {
    if (panel_->showWaves(std::move(values), selected, first, last, slotName, line)) {
        layoutPanel();
        layout_.fitToScreen();
    }
}

void QtEditorDialog::showPlayback(bool available, bool playing, const std::string& why) {
    panel_->showPlayback(available, playing, why);
}

void QtEditorDialog::showHistory(const std::string& undoText, const std::string& redoText) {
    menu_->showHistory(undoText, redoText);
}

bool QtEditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bankList_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        command<&VanetoEditorController::togglePlayback>()();
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
    menu_->exec(event->globalPos());
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
