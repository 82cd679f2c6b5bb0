#include "editor/qt/WaveShapingDialog.h"

#include "device/DvVaneto.h"
#include "editor/qt/QtText.h"
#include "editor/qt/ShownOnGuiThread.h"
#include "editor/qt/views/FormulaField.h"
#include "editor/qt/views/WaveOverview.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using Kind = WaveShaper::Request::Kind;
using Level = WaveFormula::Level::Kind;

} // namespace

WaveShapingDialog::WaveShapingDialog(const WaveShapingView::Setup& setup, QWidget* parent)
    : QDialog(parent), setup_(setup), error_(new QLabel(this)), waves_(new WaveOverview(this)),
      said_(new QLabel(this)), play_(new QPushButton(QStringLiteral("Play"), this)) {
    setWindowTitle(fromUtf8(setup.title));
    error_->setObjectName(QStringLiteral("shapeError"));
    error_->setTextFormat(Qt::PlainText);
    error_->setWordWrap(true);
    error_->setStyleSheet(QStringLiteral("color: #c00000"));
    said_->setObjectName(QStringLiteral("shapeSaid"));
    said_->setTextFormat(Qt::PlainText);
    auto* choices = new QFormLayout;
    if (setup.request.kind != Kind::operation) {
        formula_ = new FormulaField(this);
        formula_->setObjectName(QStringLiteral("shapeFormula"));
        formula_->setText(fromUtf8(setup.request.expression));
        formula_->setToolTip(fromUtf8(std::string(WaveFormula::reference())));
        makes_ = new QComboBox(this);
        makes_->setObjectName(QStringLiteral("shapeMakes"));
        makes_->addItems({QStringLiteral("Each value (x, t, w, y)"),
                          QStringLiteral("Each harmonic's level (h, t, w)")});
        makes_->setCurrentIndex(setup.request.kind == Kind::harmonics ? 1 : 0);
        level_ = new QComboBox(this);
        level_->setObjectName(QStringLiteral("shapeLevel"));
        level_->addItems({QStringLiteral("As it is, past full scale clamped"),
                          QStringLiteral("Fit: lowered where it would clamp"),
                          QStringLiteral("Normalized: the peak at full scale")});
        choices->addRow(QStringLiteral("&Formula:"), formula_);
        choices->addRow(QString(), error_);
        choices->addRow(QStringLiteral("&Makes:"), makes_);
        choices->addRow(QStringLiteral("&Level:"), level_);
        connect(formula_, &QLineEdit::textChanged, this, [this] { recompute(); });
        connect(makes_, &QComboBox::currentIndexChanged, this, [this] { recompute(); });
        connect(level_, &QComboBox::currentIndexChanged, this, [this] { recompute(); });
    } else {
        operation_ = new QComboBox(this);
        operation_->setObjectName(QStringLiteral("shapeOperation"));
        for (const RampedOperation::Info& info : RampedOperation::kinds()) {
            operation_->addItem(QStringLiteral("%1: %2").arg(fromUtf8(std::string(info.name)),
                                                             fromUtf8(std::string(info.says))));
        }
        from_ = new QDoubleSpinBox(this);
        to_ = new QDoubleSpinBox(this);
        from_->setObjectName(QStringLiteral("shapeFrom"));
        to_->setObjectName(QStringLiteral("shapeTo"));
        choices->addRow(QStringLiteral("&Operation:"), operation_);
        choices->addRow(QStringLiteral("&From (first slot):"), from_);
        choices->addRow(QStringLiteral("&To (last slot):"), to_);
        choices->addRow(QString(), error_);
        operation_->setCurrentIndex(static_cast<int>(setup.request.operation.kind));
        showAmounts();
        from_->setValue(setup.request.operation.from);
        to_->setValue(setup.request.operation.to);
        connect(operation_, &QComboBox::currentIndexChanged, this, [this] {
            showAmounts();
            recompute();
        });
        connect(from_, &QDoubleSpinBox::valueChanged, this, [this] { recompute(); });
        connect(to_, &QDoubleSpinBox::valueChanged, this, [this] { recompute(); });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(play_, QDialogButtonBox::ActionRole);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(waves_, 1);
    layout->addWidget(said_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(play_, &QPushButton::clicked, this, [this] {
        if (shown_.ok && setup_.play) {
            setup_.play(shown_.values);
        }
    });

    // Results come on the worker's thread and are shown on this one, while the dialog lives.
    worker_ = std::make_unique<NewestWins<WaveShaper::Request, WaveShaper::Result>>(
        [this](const WaveShaper::Request& request) { return setup_.compute(request); },
        shownOnGuiThread(this, &WaveShapingDialog::show));
    // Typing starts at once: over the whole formula, or on the operation.
    if (formula_ != nullptr) {
        formula_->selectAll();
        formula_->setFocus();
    } else {
        operation_->setFocus();
    }
    // Room for the overview to show each wave's shape, in the font's measure.
    const QFontMetrics metrics = fontMetrics();
    resize(sizeHint().expandedTo(QSize(metrics.averageCharWidth() * 90, metrics.height() * 34)));
    recompute();
}

WaveShapingDialog::~WaveShapingDialog() {
    worker_.reset(); // joined while the dialog is whole
}

bool WaveShapingDialog::isFormula() const {
    return formula_ != nullptr;
}

void WaveShapingDialog::showAmounts() {
    const auto& info =
        RampedOperation::kinds()[static_cast<std::size_t>(std::max(0, operation_->currentIndex()))];
    for (QDoubleSpinBox* amount : {from_, to_}) {
        const QSignalBlocker block(amount);
        amount->setEnabled(info.hasAmount);
        amount->setDecimals(info.decimals);
        amount->setRange(info.lowest, info.highest);
        amount->setSingleStep(info.decimals == 2 ? 0.1 : 1.0);
        amount->setSuffix(
            info.unit.empty() ? QString() : QStringLiteral(" ") + fromUtf8(std::string(info.unit)));
    }
    const QSignalBlocker blockFrom(from_);
    const QSignalBlocker blockTo(to_);
    from_->setValue(info.from);
    to_->setValue(info.to);
}

WaveShaper::Request WaveShapingDialog::request() const {
    WaveShaper::Request request = setup_.request;
    if (isFormula()) {
        request.kind = makes_->currentIndex() == 1 ? Kind::harmonics : Kind::formula;
        request.expression = toUtf8(formula_->text());
        request.level.kind = level_->currentIndex() == 1   ? Level::fit
                             : level_->currentIndex() == 2 ? Level::normalize
                                                           : Level::clamp;
    } else {
        const auto& info = RampedOperation::kinds()[static_cast<std::size_t>(
            std::max(0, operation_->currentIndex()))];
        request.operation = {info.kind, from_->value(), to_->value()};
    }
    return request;
}

void WaveShapingDialog::recompute() {
    asked_ = worker_->request(request());
    play_->setEnabled(false);
}

void WaveShapingDialog::accept() {
    if (shownFor_ != asked_) {
        acceptWhenShown_ = true; // taken as soon as the range of this choice is there
        return;
    }
    if (shown_.ok) {
        QDialog::accept();
    }
}

void WaveShapingDialog::show(int request, const WaveShaper::Result& result) {
    if (request != asked_) {
        return; // a newer choice is on its way
    }
    shownFor_ = request;
    shown_ = result;
    ok_->setEnabled(result.ok);
    play_->setEnabled(result.ok);
    const WaveFormula::Problem& problem = result.problem;
    error_->setText(result.ok ? QString() : fromUtf8(problem.message));
    if (formula_ != nullptr) {
        formula_->markColumn(result.ok ? 0 : problem.column);
    }
    std::vector<std::int16_t> values = setup_.bank;
    const WaveShaper::Request& asked = setup_.request;
    if (result.ok) {
        std::copy(result.values.begin(), result.values.end(),
                  values.begin() + static_cast<std::ptrdiff_t>(asked.first) * DvVaneto::waveLength);
        said_->setText(fromUtf8(WaveShaper::remark(result)));
    } else {
        said_->clear();
    }
    waves_->setWaves(values, asked.first, asked.first, asked.last);
    if (acceptWhenShown_) {
        acceptWhenShown_ = false;
        accept();
    }
}
