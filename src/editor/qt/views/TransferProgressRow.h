#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

class DialogUnitLayout;
class QProgressBar;
class QPushButton;
class QWidget;

// The progress bar of a transfer, which tells the time left of the bank being sent, and the
// Stop button that takes the right end of its row while a transfer runs. The widgets are the
// dialog's children, placed through its layout.
class TransferProgressRow final : public QObject {
public:
    TransferProgressRow(QWidget& dialog, DialogUnitLayout& layout, std::function<void()> stop);

    QProgressBar* bar() const { return bar_; }
    QPushButton* stopButton() const { return stop_; }

    void setRange(std::uint16_t low, std::uint16_t high);
    // Whole seconds of the bank played; above 0 the bar tells the time left.
    void setPosition(int position);
    // The bar gives way to the Stop button while that is shown.
    void arrange();

private:
    QWidget& dialog_;
    DialogUnitLayout& layout_;
    QProgressBar* bar_;
    QPushButton* stop_;
};
