#pragma once

#include <QDialog>

#include <functional>
#include <utility>
#include <vector>

class PartOverview;
class QDoubleSpinBox;

// "Choose part...": the whole sound with the bank's 1.486 s marked, to drag or to set by typing
// its start; Space plays the part; OK takes it.
class PartChooserDialog final : public QDialog {
public:
    PartChooserDialog(const std::vector<std::pair<float, float>>& columns, double seconds,
                      double partSeconds, double start, std::function<void(double)> preview,
                      QWidget* parent = nullptr);
    double start() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    PartOverview* overview_;
    QDoubleSpinBox* startEdit_;
    std::function<void(double)> preview_;
};
