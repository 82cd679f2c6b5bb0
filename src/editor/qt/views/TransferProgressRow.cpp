#include "editor/qt/views/TransferProgressRow.h"

#include "transfer/TransferEngine.h"
#include "editor/qt/DialogUnitLayout.h"

#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace {

// The row in dialog units, and the Stop button at its right end.
constexpr int barX = 150, barY = 198, barWidth = 366, barHeight = 8;
constexpr int stopX = 470, stopY = 196, stopWidth = 46, stopHeight = 12;

} // namespace

TransferProgressRow::TransferProgressRow(QWidget& dialog, DialogUnitLayout& layout,
                                         std::function<void()> stop)
    : QObject(&dialog), dialog_(dialog), layout_(layout),
      bar_(layout.place(new QProgressBar(&dialog), barX, barY, barWidth, barHeight)),
      stop_(new QPushButton(QStringLiteral("Stop"), &dialog)) {
    bar_->setTextVisible(true);
    bar_->setAlignment(Qt::AlignCenter);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setFormat(QString());
    // Only shown while a transfer runs, so it needs no tab stop.
    stop_->setFocusPolicy(Qt::NoFocus);
    stop_->setVisible(false);
    connect(stop_, &QPushButton::clicked, this, std::move(stop));
}

void TransferProgressRow::setRange(std::uint16_t low, std::uint16_t high) {
    bar_->setRange(low, std::max(low + 1, int(high)));
    bar_->setFormat(QString());
}

void TransferProgressRow::setPosition(int position) {
    bar_->setValue(std::clamp(position, bar_->minimum(), bar_->maximum()));
    const int left = bar_->maximum() - bar_->value();
    bar_->setFormat(position > 0 ? QString::fromStdString(TransferEngine::minutes(left)) +
                                       QStringLiteral(" left")
                                 : QString());
}

void TransferProgressRow::arrange() {
    const QRect stop = layout_.rect(stopX, stopY, stopWidth, stopHeight);
    stop_->setGeometry(
        stop.adjusted(0, 0, 0, std::max(0, stop_->minimumSizeHint().height() - stop.height())));
    const int width = stop_->isVisibleTo(&dialog_) ? stopX - 4 - barX : barWidth;
    bar_->setGeometry(layout_.rect(barX, barY, width, barHeight));
}
