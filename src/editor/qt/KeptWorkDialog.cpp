#include "editor/qt/KeptWorkDialog.h"

#include "editor/qt/QtText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

KeptWorkDialog::KeptWorkDialog(const std::vector<WorkOfferView::KeptRow>& rows, QWidget* parent)
    : QDialog(parent), rows_(rows), list_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("keptWork"));
    setWindowTitle(QStringLiteral("Kept Work"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(
        rows_.empty() ? QStringLiteral("No work of an earlier run is kept.")
                      : QStringLiteral("The work of earlier runs, newest first. Restore takes "
                                       "the selected one; this run's work is kept first."),
        this);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    list_->setObjectName(QStringLiteral("keptList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels({QStringLiteral("Left"), QStringLiteral("How it ended"),
                            QStringLiteral("Banks changed"), QStringLiteral("Steps")});
    for (const WorkOfferView::KeptRow& row : rows_) {
        auto* item = new QTreeWidgetItem(
            list_, {fromUtf8(row.when), fromUtf8(row.ending), fromUtf8(row.banks),
                    row.reads ? QString::number(row.steps) : QString()});
        item->setToolTip(2, fromUtf8(row.banks));
        item->setToolTip(1, fromUtf8(row.ending));
        if (!row.reads) {
            item->setForeground(1, palette().brush(QPalette::Disabled, QPalette::Text));
        }
    }
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(this);
    restore_ = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    restore_->setObjectName(QStringLiteral("restoreKept"));
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { take(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemActivated, this, [this] { take(); });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { selectionChanged(); });
    if (!rows_.empty()) {
        list_->setCurrentItem(list_->topLevelItem(0));
    }
    selectionChanged();
    list_->setFocus(Qt::OtherFocusReason);
    const int width = fontMetrics().averageCharWidth();
    resize(width * 112, fontMetrics().height() * 18);
}

void KeptWorkDialog::selectionChanged() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    restore_->setEnabled(row >= 0 && rows_[static_cast<std::size_t>(row)].reads);
}

void KeptWorkDialog::take() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || !rows_[static_cast<std::size_t>(row)].reads) {
        return;
    }
    chosen_ = rows_[static_cast<std::size_t>(row)].id;
    accept();
}
