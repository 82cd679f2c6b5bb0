#include "editor/qt/views/WaveTablePanel.h"

#include "editor/PianoKeys.h"
#include "editor/WaveCommands.h"
#include "editor/qt/views/HarmonicsView.h"
#include "editor/qt/views/WaveDrawView.h"
#include "editor/qt/views/WaveOverview.h"

#include <QContextMenuEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

WaveTablePanel::WaveTablePanel(QWidget* parent)
    : QWidget(parent), overview_(new WaveOverview(this)), drawView_(new WaveDrawView(this)),
      harmonics_(new HarmonicsView(this)), slotLabel_(new QLabel(this)),
      slotName_(new QLineEdit(this)) {
    overview_->setObjectName(QStringLiteral("waveOverview"));
    drawView_->setObjectName(QStringLiteral("waveDraw"));
    harmonics_->setObjectName(QStringLiteral("harmonics"));
    slotName_->setObjectName(QStringLiteral("slotName"));
    slotLabel_->setObjectName(QStringLiteral("slotLabel"));
    slotName_->setAcceptDrops(false);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    grid->addWidget(overview_, 0, 0, 3, 1);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(slotLabel_);
    nameRow->addWidget(slotName_, 1);
    grid->addLayout(nameRow, 0, 1);
    grid->addWidget(drawView_, 1, 1);
    grid->addWidget(harmonics_, 2, 1);
    grid->setRowStretch(1, 3);
    grid->setRowStretch(2, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    for (QWidget* view : {static_cast<QWidget*>(overview_), static_cast<QWidget*>(drawView_),
                          static_cast<QWidget*>(harmonics_)}) {
        view->installEventFilter(this);
    }
    connect(slotName_, &QLineEdit::editingFinished, this, [this] {
        if (controller_ != nullptr) {
            const QByteArray text = slotName_->text().toUtf8();
            controller_->commitSlotName(std::string(text.constData(), std::size_t(text.size())));
        }
    });
}

void WaveTablePanel::setController(WaveCommands* controller) {
    controller_ = controller;
    overview_->setController(controller);
    drawView_->setController(controller);
    harmonics_->setController(controller);
}

void WaveTablePanel::setWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                              const std::string& slotName) {
    overview_->setWaves(values, selected, first, last);
    std::vector<std::int16_t> wave;
    const std::size_t at = static_cast<std::size_t>(selected) * 256;
    if (values.size() >= at + 256) {
        wave.assign(values.begin() + static_cast<std::ptrdiff_t>(at),
                    values.begin() + static_cast<std::ptrdiff_t>(at + 256));
    }
    harmonics_->setWave(wave);
    drawView_->setWave(std::move(wave), selected);
    slotLabel_->setText(
        first == last
            ? QStringLiteral("Slot %1:").arg(selected + 1)
            : QStringLiteral("Slot %1 (of %2-%3):").arg(selected + 1).arg(first + 1).arg(last + 1));
    if (!slotName_->hasFocus()) {
        slotName_->setText(QString::fromUtf8(slotName.data(), qsizetype(slotName.size())));
    }
}

bool WaveTablePanel::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::KeyPress;
    if (controller_ == nullptr || (!press && event->type() != QEvent::KeyRelease)) {
        return QWidget::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const std::optional<int> note = key->modifiers() & ~Qt::KeypadModifier
                                        ? std::nullopt
                                        : PianoKeys::noteOf(key->nativeScanCode());
    if (!note) {
        return QWidget::eventFilter(watched, event);
    }
    if (key->isAutoRepeat()) {
        return true;
    }
    if (press) {
        noteKey_ = key->nativeScanCode();
        controller_->playNote(*note);
    } else if (key->nativeScanCode() == noteKey_) {
        noteKey_ = 0;
        controller_->stopNote();
    }
    return true;
}

void WaveTablePanel::contextMenuEvent(QContextMenuEvent* event) {
    if (controller_ == nullptr) {
        return;
    }
    using Operation = WaveOperations::Kind;
    QMenu menu(this);
    for (const Operation operation :
         {Operation::normalize, Operation::normalizeTogether, Operation::removeDc,
          Operation::reverse, Operation::invert, Operation::clear, Operation::morphCrossfade,
          Operation::morphSpectral}) {
        std::string name = WaveOperations::describe(operation);
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        QAction* action = menu.addAction(QString::fromStdString(name));
        connect(action, &QAction::triggered, this,
                [this, operation] { controller_->waveOperation(operation); });
    }
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("Formula...")), &QAction::triggered, this,
            [this] { controller_->shapeWaves(true); });
    connect(menu.addAction(QStringLiteral("Across the Slots...")), &QAction::triggered, this,
            [this] { controller_->shapeWaves(false); });
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("Copy")), &QAction::triggered, this,
            [this] { controller_->copyWaves(); });
    connect(menu.addAction(QStringLiteral("Paste")), &QAction::triggered, this,
            [this] { controller_->pasteWaves(); });
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("Export Table...")), &QAction::triggered, this,
            [this] { controller_->exportWaves(true); });
    connect(menu.addAction(QStringLiteral("Export Wave...")), &QAction::triggered, this,
            [this] { controller_->exportWaves(false); });
    menu.exec(event->globalPos());
    event->accept();
}
