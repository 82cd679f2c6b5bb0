#include "app/qt/ResynthesisDialog.h"

#include "app/qt/PitchRangeView.h"
#include "app/qt/QtText.h"
#include "app/qt/WaveOverview.h"
#include "device/DvVaneto.h"
#include "wavetable/WaveQuantizer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

ResynthesisDialog::ResynthesisDialog(const ResynthesisView::Setup& setup, QWidget* parent)
    : QDialog(parent), setup_(setup),
      range_(new PitchRangeView(setup.overview, setup.seconds, setup.pitch, this)),
      start_(new QDoubleSpinBox(this)), end_(new QDoubleSpinBox(this)), mode_(new QComboBox(this)),
      firstSlot_(new QSpinBox(this)), waves_(new WaveOverview(this)), said_(new QLabel(this)),
      play_(new QPushButton(QStringLiteral("Play"), this)) {
    setWindowTitle(QStringLiteral("Resynthesize %1").arg(fromUtf8(setup.fileName)));
    range_->setObjectName(QStringLiteral("resynthRange"));
    start_->setObjectName(QStringLiteral("resynthStart"));
    end_->setObjectName(QStringLiteral("resynthEnd"));
    mode_->setObjectName(QStringLiteral("resynthMode"));
    firstSlot_->setObjectName(QStringLiteral("resynthFirstSlot"));
    said_->setObjectName(QStringLiteral("resynthSaid"));
    for (QDoubleSpinBox* edit : {start_, end_}) {
        edit->setDecimals(3);
        edit->setSuffix(QStringLiteral(" s"));
        edit->setRange(0.0, setup.seconds);
    }
    mode_->addItems({QStringLiteral("pitch: each wave lined up with the one before"),
                     QStringLiteral("spectral: each wave's levels, one phase per harmonic")});
    firstSlot_->setRange(1, DvVaneto::wavesPerBank);
    said_->setWordWrap(true);
    said_->setTextFormat(Qt::PlainText);

    auto* choices = new QFormLayout;
    auto* span = new QHBoxLayout;
    span->addWidget(start_);
    span->addWidget(new QLabel(QStringLiteral("to"), this));
    span->addWidget(end_);
    span->addStretch(1);
    choices->addRow(QStringLiteral("Range:"), span);
    choices->addRow(QStringLiteral("Mode:"), mode_);
    choices->addRow(QStringLiteral("From slot:"), firstSlot_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(play_, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(range_, 1);
    layout->addLayout(choices);
    layout->addWidget(waves_, 2);
    layout->addWidget(said_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(play_, &QPushButton::clicked, this, [this] {
        if (shown_.ok && setup_.play) {
            setup_.play(shown_);
        }
    });

    const WaveResynthesis::Options& first = setup.options;
    range_->setRange(first.start.value_or(0.0), first.end.value_or(setup.seconds));
    mode_->setCurrentIndex(first.mode == WaveResynthesis::Mode::spectral ? 1 : 0);
    firstSlot_->setValue(first.firstSlot + 1);
    const auto typed = [this] {
        range_->setRange(start_->value(), end_->value());
        recompute();
    };
    range_->onChanged = [this](double, double) { recompute(); };
    connect(start_, &QDoubleSpinBox::valueChanged, this, typed);
    connect(end_, &QDoubleSpinBox::valueChanged, this, typed);
    connect(mode_, &QComboBox::currentIndexChanged, this, [this] { recompute(); });
    connect(firstSlot_, &QSpinBox::valueChanged, this, [this] { recompute(); });

    // Results come on the worker's thread and are shown on this one, while the dialog lives.
    QPointer<ResynthesisDialog> self(this);
    worker_ = std::make_unique<NewestWins<WaveResynthesis::Options, WaveResynthesis::Result>>(
        setup.compute, [self](int request, WaveResynthesis::Result result) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, request, result = std::move(result)] {
                    if (self) {
                        self->show(request, result);
                    }
                },
                Qt::QueuedConnection);
        });
    recompute();
}

ResynthesisDialog::~ResynthesisDialog() {
    // Joined while the dialog is whole, so that no result is posted to it half destroyed.
    worker_.reset();
}

WaveResynthesis::Options ResynthesisDialog::options() const {
    WaveResynthesis::Options options;
    options.mode =
        mode_->currentIndex() == 1 ? WaveResynthesis::Mode::spectral : WaveResynthesis::Mode::pitch;
    options.firstSlot = firstSlot_->value() - 1;
    options.start = range_->start();
    options.end = range_->end();
    return options;
}

void ResynthesisDialog::recompute() {
    {
        const QSignalBlocker blockStart(start_);
        const QSignalBlocker blockEnd(end_);
        start_->setValue(range_->start());
        end_->setValue(range_->end());
    }
    asked_ = worker_->request(options());
    play_->setEnabled(false);
}

void ResynthesisDialog::show(int request, const WaveResynthesis::Result& result) {
    if (request != asked_) {
        return; // a newer choice is on its way
    }
    shown_ = result;
    play_->setEnabled(result.ok);
    said_->setText(fromUtf8(result.ok ? result.summary() : result.error));
    std::vector<std::int16_t> values(DvVaneto::valuesPerBank, 0);
    if (result.ok) {
        WaveQuantizer quantize;
        quantize.apply(result.waves,
                       std::span(values).subspan(static_cast<std::size_t>(result.firstSlot) *
                                                 DvVaneto::waveLength));
    }
    waves_->setWaves(values, result.firstSlot, result.firstSlot, result.firstSlot);
}
