#include "editor/qt/ResynthesisDialog.h"

#include "device/DvVaneto.h"
#include "editor/qt/QtText.h"
#include "editor/qt/ShownOnGuiThread.h"
#include "editor/qt/views/FitStrip.h"
#include "editor/qt/views/PitchRangeView.h"
#include "editor/qt/views/WaveOverview.h"
#include "wavetable/WaveQuantizer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

ResynthesisDialog::ResynthesisDialog(const ResynthesisView::Setup& setup, QWidget* parent)
    : QDialog(parent), setup_(setup),
      range_(new PitchRangeView(setup.overview, setup.seconds, {}, this)),
      start_(new QDoubleSpinBox(this)), end_(new QDoubleSpinBox(this)), mode_(new QComboBox(this)),
      firstSlot_(new QSpinBox(this)), waves_(new WaveOverview(this)), fits_(new FitStrip(this)),
      said_(new QLabel(this)), play_(new QPushButton(QStringLiteral("Play"), this)),
      busy_(new QProgressBar(this)) {
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
    busy_->setObjectName(QStringLiteral("resynthBusy"));
    busy_->setRange(0, 0); // working, for as long as it takes
    busy_->setTextVisible(false);

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
    layout->addWidget(fits_);
    layout->addWidget(said_);
    layout->addWidget(busy_);
    layout->addWidget(buttons);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    // The slot under the pointer on the strip, on the line (the summary comes back after).
    fits_->onHover = [this](const std::string& text) {
        said_->setText(
            fromUtf8(text.empty() ? (shown_.ok ? shown_.summary() : shown_.error) : text));
    };
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(play_, &QPushButton::clicked, this, [this] {
        if (shown_.ok && setup_.play) {
            setup_.play(shown_);
        }
    });

    const WaveResynthesis::Options& first = setup.options;
    range_->setRange(first.start.value_or(0.0), first.end.value_or(setup.seconds));
    start_->setValue(range_->start());
    end_->setValue(range_->end());
    said_->setText(QStringLiteral("Finding the pitch of %1...").arg(fromUtf8(setup.fileName)));
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
    worker_ = std::make_unique<NewestWins<WaveResynthesis::Options, WaveResynthesis::Result>>(
        [this](WaveResynthesis::Options options) {
            options.stop = &stop_;
            return setup_.compute(options);
        },
        shownOnGuiThread(this, &ResynthesisDialog::show));
    // The first answer: the pitch over the whole sound and the span it offers.
    askedFor_ = first;
    asked_ = worker_->request(first);
    play_->setEnabled(false);
}

ResynthesisDialog::~ResynthesisDialog() {
    // Stopped and joined while the dialog is whole, so that no result is posted to it half
    // destroyed.
    stop_ = true;
    worker_.reset();
}

void ResynthesisDialog::accept() {
    if (!busy_->isHidden() || !shownFor_.sameAs(options())) {
        acceptWhenShown_ = true; // taken as soon as the waves of this choice are there
        return;
    }
    if (shown_.ok) {
        QDialog::accept();
    }
}

void ResynthesisDialog::reject() {
    stop_ = true; // whatever is under way ends at its next slot
    QDialog::reject();
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
    if (first_) {
        return; // the first answer comes before any choice
    }
    askedFor_ = options();
    asked_ = worker_->request(askedFor_);
    play_->setEnabled(false);
    ok_->setEnabled(true);
    busy_->show();
    said_->setText(QStringLiteral("Making the waves..."));
}

void ResynthesisDialog::show(int request, const WaveResynthesis::Result& result) {
    if (request != asked_) {
        return; // a newer choice is on its way
    }
    shownFor_ = askedFor_;
    if (first_) {
        first_ = false;
        if (result.ok) {
            std::vector<std::pair<double, double>> pitch;
            for (std::size_t k = 0; k < result.moments.size(); ++k) {
                pitch.emplace_back(result.moments[k], result.hertz[k]);
            }
            range_->setPitch(std::move(pitch));
            range_->setRange(result.startSeconds, result.endSeconds);
            const QSignalBlocker blockStart(start_);
            const QSignalBlocker blockEnd(end_);
            start_->setValue(range_->start());
            end_->setValue(range_->end());
            // These waves are the span's: the choice as it now stands, unless the mode or the
            // first slot changed meanwhile.
            const WaveResynthesis::Options now = options();
            if (now.mode == askedFor_.mode && now.firstSlot == askedFor_.firstSlot) {
                shownFor_ = now;
            }
        }
    }
    busy_->hide();
    ok_->setEnabled(result.ok);
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
    fits_->setFits(result.firstSlot, result.ok ? result.fit : std::vector<double>{}, result.hertz);
    if (result.ok && !shownFor_.sameAs(options())) {
        recompute(); // a choice made while the first answer was on its way
    } else if (acceptWhenShown_) {
        acceptWhenShown_ = false;
        accept();
    }
}
