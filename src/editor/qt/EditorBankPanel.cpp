#include "editor/qt/EditorBankPanel.h"

#include "editor/WaveCommands.h"
#include "editor/qt/DialogUnitLayout.h"
#include "editor/qt/QtText.h"
#include "editor/qt/views/WaveOverview.h"
#include "editor/qt/views/WaveTablePanel.h"
#include "editor/qt/views/WaveformPanel.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>

namespace {

// The wave panel of a wavetable bank, in place of the waveform, in dialog units.
constexpr int wavesHeightUnits = 150;

} // namespace

EditorBankPanel::EditorBankPanel(QWidget& dialog, DialogUnitLayout& layout, int top)
    : QObject(&dialog), layout_(layout), top_(top) {
    waveform_ = layout.place(new WaveformPanel(&dialog), 12, top, 456, 56);
    waveform_->setObjectName(QStringLiteral("waveform"));
    // Its figures change with the bank: they do not widen the dialog.
    line_ =
        layout.place(plainLabel(QString(), Qt::AlignLeft, &dialog), 12, top + 59, 504, 8, false);
    line_->setObjectName(QStringLiteral("waveformLine"));
    play_ = layout.place(new QPushButton(QStringLiteral("Play"), &dialog), 474, top, 42, 14);
    play_->setObjectName(QStringLiteral("play"));
    play_->setFocusPolicy(Qt::NoFocus);
    play_->setEnabled(false);
    connect(play_, &QPushButton::clicked, this, [this] {
        if (handlers_.play) {
            handlers_.play();
        }
    });
    // A wavetable bank shows its waves in place of the waveform; the two options beside the
    // panel choose the bank's layout, outside the template's tab order as Play is.
    wavePanel_ = new WaveTablePanel(&dialog);
    wavePanel_->setVisible(false);
    oneSample_ = layout.place(new QRadioButton(QStringLiteral("One sample"), &dialog), 474,
                              top + 20, 50, 10);
    waves_ =
        layout.place(new QRadioButton(QStringLiteral("256 waves"), &dialog), 474, top + 32, 50, 10);
    oneSample_->setObjectName(QStringLiteral("oneSample"));
    waves_->setObjectName(QStringLiteral("waves"));
    auto* group = new QButtonGroup(this);
    for (QRadioButton* option : {oneSample_, waves_}) {
        option->setFocusPolicy(Qt::NoFocus);
        group->addButton(option);
        connect(option, &QRadioButton::clicked, this, [this, option] {
            if (handlers_.layout) {
                handlers_.layout(option == oneSample_);
            }
        });
    }
    oneSample_->setChecked(true);
    note_ = layout.place(plainLabel(QString(), Qt::AlignLeft, &dialog), 474, top + 46, 50, 8);
    note_->setVisible(false);
    playhead_ = new QTimer(this);
    playhead_->setInterval(30);
    connect(playhead_, &QTimer::timeout, this, [this] {
        const long played = handlers_.playedValues ? handlers_.playedValues() : -1;
        if (played < 0) {
            showPlayback(available_, false, toUtf8(unavailable_));
        } else {
            waveform_->setPlayhead(played);
        }
    });
}

void EditorBankPanel::setCommands(WaveCommands* commands) {
    commands_ = commands;
    wavePanel_->setController(commands);
    waveform_->setController(commands);
}

void EditorBankPanel::selectSlotAt(QPoint global) {
    WaveOverview* overview = wavePanel_->overview();
    const int slot = wavesShown_ ? overview->slotAt(overview->mapFromGlobal(global)) : -1;
    if (slot >= 0 && commands_ != nullptr) {
        commands_->selectSlot(slot, false);
    }
}

QSize EditorBankPanel::arrange(QSize window) {
    waveform_->setVisible(!wavesShown_);
    wavePanel_->setVisible(wavesShown_);
    note_->setVisible(wavesShown_);
    if (!wavesShown_) {
        line_->setGeometry(layout_.rect(12, top_ + 59, 504, 8));
        return window;
    }
    // As tall as the waves need (their cells at least 24 x 16 pixels), the line under it.
    QRect area = layout_.rect(12, top_, 456, wavesHeightUnits);
    area.setHeight(std::max(area.height(), wavePanel_->minimumSizeHint().height()));
    area.setWidth(std::max(area.width(), wavePanel_->minimumSizeHint().width()));
    wavePanel_->setGeometry(area);
    const QRect line = layout_.rect(12, 0, 504, 8);
    line_->setGeometry(line.left(), area.bottom() + 4, line.width(), line.height());
    return {std::max(window.width(), area.right() + layout_.rect(0, 0, 58, 0).width()),
            line_->geometry().bottom() + layout_.rect(0, 0, 0, 6).height()};
}

bool EditorBankPanel::showWaveform(std::vector<std::int16_t> values, const std::string& line) {
    waveform_->setValues(std::move(values));
    line_->setText(fromUtf8(line));
    oneSample_->setChecked(true);
    const bool changed = wavesShown_;
    wavesShown_ = false;
    return changed;
}

bool EditorBankPanel::showWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                                const std::string& slotName, const std::string& line) {
    wavePanel_->setWaves(std::move(values), selected, first, last, slotName);
    line_->setText(fromUtf8(line));
    waves_->setChecked(true);
    const bool changed = !wavesShown_;
    wavesShown_ = true;
    return changed;
}

void EditorBankPanel::showPlayback(bool available, bool playing, const std::string& why) {
    available_ = available;
    unavailable_ = fromUtf8(why);
    play_->setEnabled(available);
    play_->setText(playing ? QStringLiteral("Stop") : QStringLiteral("Play"));
    play_->setToolTip(available ? QStringLiteral("Play the selected bank (Space)")
                                : QStringLiteral("No audio output: ") + unavailable_);
    if (playing) {
        playhead_->start();
    } else {
        playhead_->stop();
        waveform_->setPlayhead(-1);
    }
}
