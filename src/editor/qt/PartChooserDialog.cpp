#include "editor/qt/PartChooserDialog.h"

#include "editor/qt/views/PartOverview.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

PartChooserDialog::PartChooserDialog(const std::vector<std::pair<float, float>>& columns,
                                     double seconds, double partSeconds, double start,
                                     std::function<void(double)> preview, QWidget* parent)
    : QDialog(parent), overview_(new PartOverview(columns, seconds, partSeconds, this)),
      startEdit_(new QDoubleSpinBox(this)), preview_(std::move(preview)) {
    setWindowTitle(QStringLiteral("Choose Part"));
    overview_->setObjectName(QStringLiteral("partOverview"));
    startEdit_->setObjectName(QStringLiteral("partStart"));
    startEdit_->setDecimals(3);
    startEdit_->setSuffix(QStringLiteral(" s"));
    startEdit_->setRange(0.0, std::max(0.0, seconds - partSeconds));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Start:"), this));
    row->addWidget(startEdit_);
    row->addWidget(
        new QLabel(QStringLiteral("of %1 s (Space plays the part)").arg(seconds, 0, 'f', 3), this),
        1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(overview_, 1);
    layout->addLayout(row);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    overview_->onMoved = [this](double at) {
        const QSignalBlocker blocker(startEdit_);
        startEdit_->setValue(at);
    };
    connect(startEdit_, &QDoubleSpinBox::valueChanged, this,
            [this](double at) { overview_->setStart(at); });
    overview_->setStart(start);
    startEdit_->setValue(overview_->start());
}

double PartChooserDialog::start() const {
    return overview_->start();
}

void PartChooserDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && preview_) {
        preview_(overview_->start());
        return;
    }
    QDialog::keyPressEvent(event);
}
