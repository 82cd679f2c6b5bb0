#include "editor/qt/views/WaveformPanel.h"

#include "editor/WaveCommands.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

WaveformPanel::WaveformPanel(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect WaveformPanel::plotArea() const {
    return rect().adjusted(1, 1, -1, -1);
}

void WaveformPanel::clearRange() {
    anchor_ = end_ = -1;
    update();
}

void WaveformPanel::setValues(std::vector<std::int16_t> values) {
    if (values.size() != values_.size()) {
        anchor_ = end_ = -1;
    }
    values_ = std::move(values);
    playhead_ = -1;
    computeColumns();
    update();
}

void WaveformPanel::setPlayhead(long index) {
    if (index != playhead_) {
        playhead_ = index;
        update();
    }
}

void WaveformPanel::computeColumns() {
    columns_ = WaveformPeaks::columns(values_, plotArea().width());
}

void WaveformPanel::resizeEvent(QResizeEvent* event) {
    computeColumns();
    QWidget::resizeEvent(event);
}

void WaveformPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect area = plotArea();
    const double middle = area.top() + area.height() / 2.0;
    const double half = area.height() / 2.0 - 1.0;
    const auto yOf = [&](double value) {
        return static_cast<int>(middle - value / 32768.0 * half);
    };

    // Full scale, then the centre line.
    painter.setPen(QPen(colours.color(QPalette::Midlight), 1, Qt::DotLine));
    painter.drawLine(area.left(), yOf(32767), area.right(), yOf(32767));
    painter.drawLine(area.left(), yOf(-32768), area.right(), yOf(-32768));
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(area.left(), static_cast<int>(middle), area.right(), static_cast<int>(middle));

    const QColor peak = colours.color(QPalette::Highlight);
    const QColor rms = peak.darker(160);
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const int x = area.left() + static_cast<int>(c);
        const WaveformPeaks::Column& column = columns_[c];
        painter.setPen(peak);
        painter.drawLine(x, yOf(column.high), x, yOf(column.low));
        const int band = static_cast<int>(column.rms / 32768.0 * half);
        if (band > 0) {
            painter.setPen(rms);
            painter.drawLine(x, static_cast<int>(middle) - band, x,
                             static_cast<int>(middle) + band);
        }
    }
    if (anchor_ >= 0 && end_ >= 0 && !values_.empty()) {
        const auto xOf = [&](long index) {
            return area.left() +
                   static_cast<int>(static_cast<double>(index) /
                                    static_cast<double>(values_.size()) * area.width());
        };
        QColor marked = colours.color(QPalette::Highlight);
        marked.setAlpha(60);
        const auto [first, last] = range();
        painter.fillRect(
            QRect(QPoint(xOf(first), area.top()), QPoint(xOf(last + 1), area.bottom())), marked);
    }
    if (playhead_ >= 0 && !values_.empty()) {
        const int x =
            area.left() + static_cast<int>(static_cast<double>(playhead_) /
                                           static_cast<double>(values_.size()) * area.width());
        painter.setPen(QPen(colours.color(QPalette::Text), 1));
        painter.drawLine(x, area.top(), x, area.bottom());
    }
}

QString WaveformPanel::describeAt(int x) const {
    const QRect area = plotArea();
    if (values_.empty() || area.width() <= 0) {
        return QString();
    }
    const double fraction = std::clamp((x - area.left()) / double(area.width()), 0.0, 1.0);
    const auto index =
        std::min(values_.size() - 1,
                 static_cast<std::size_t>(fraction * static_cast<double>(values_.size())));
    return QStringLiteral("value %1 \u00b7 %2 s \u00b7 %3")
        .arg(index)
        .arg(static_cast<double>(index) / WaveformPeaks::bankRate, 0, 'f', 3)
        .arg(values_[index]);
}

long WaveformPanel::indexAt(double x) const {
    const QRect area = plotArea();
    if (values_.empty() || area.width() <= 0) {
        return -1;
    }
    const double fraction = std::clamp((x - area.left()) / double(area.width()), 0.0, 1.0);
    return std::min(static_cast<long>(values_.size()) - 1,
                    static_cast<long>(fraction * static_cast<double>(values_.size())));
}

std::pair<long, long> WaveformPanel::range() const {
    if (anchor_ < 0 || end_ < 0 || anchor_ == end_) {
        return {-1, -1};
    }
    return {std::min(anchor_, end_), std::max(anchor_, end_)};
}

void WaveformPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        anchor_ = end_ = indexAt(event->position().x());
        update();
    }
    QWidget::mousePressEvent(event);
}

void WaveformPanel::contextMenuEvent(QContextMenuEvent* event) {
    if (controller_ == nullptr) {
        return;
    }
    using Operation = WaveOperations::Kind;
    const auto [first, last] = range();
    QMenu menu(this);
    const QString on = first < 0 ? QStringLiteral(" (the sound)") : QStringLiteral(" (the range)");
    for (const auto& [operation, text] :
         {std::pair{Operation::normalize, "Normalize"}, std::pair{Operation::removeDc, "Remove DC"},
          std::pair{Operation::reverse, "Reverse"}, std::pair{Operation::fadeIn, "Fade In"},
          std::pair{Operation::fadeOut, "Fade Out"}}) {
        QAction* action = menu.addAction(QString::fromLatin1(text) + on);
        connect(action, &QAction::triggered, this,
                [this, operation = operation, first = first, last = last] {
                    controller_->sampleOperation(operation, first, last);
                });
    }
    menu.addSeparator();
    QAction* part = menu.addAction(QStringLiteral("Choose Part..."));
    part->setEnabled(controller_->canChoosePart());
    connect(part, &QAction::triggered, this, [this] { controller_->choosePart(); });
    menu.exec(event->globalPos());
    event->accept();
}

void WaveformPanel::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) != 0 && anchor_ >= 0) {
        end_ = indexAt(event->position().x());
        update();
    }
    const QString text = describeAt(static_cast<int>(event->position().x()));
    if (!text.isEmpty()) {
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }
    QWidget::mouseMoveEvent(event);
}
