#include "editor/qt/SoundBrowser.h"

#include "editor/BrowserCommands.h"
#include "browse/SoundInfoReader.h"
#include "editor/qt/QtText.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QStandardPaths>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int entryRole = Qt::UserRole;

// The list, whose rows drag as the files they name (onto the editor's bank list).
class SoundList final : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::filesystem::path folder;

protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override {
        auto* files = new QMimeData;
        std::vector<std::string> paths;
        // The file's own bytes, whatever their encoding, not its name as shown.
        for (const QTreeWidgetItem* item : items) {
            const QByteArray name = item->data(0, Qt::UserRole).toByteArray();
            paths.push_back((folder / name.toStdString()).string());
        }
        setLocalFiles(*files, paths);
        return files;
    }
};

QString seconds(double value) {
    const int minutes = static_cast<int>(value / 60);
    return QStringLiteral("%1:%2").arg(minutes).arg(value - minutes * 60, 6, 'f', 3,
                                                    QLatin1Char('0'));
}

} // namespace

SoundBrowser::SoundBrowser(BrowserCommands& commands, QWidget* editor)
    : QWidget(editor, Qt::Window), commands_(commands), path_(new QHBoxLayout),
      filter_(new QLineEdit(this)), hear_(new QCheckBox(QStringLiteral("Hear on moving"), this)),
      list_(new SoundList(this)), line_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("VanetoEditor: Browse"));
    setObjectName(QStringLiteral("soundBrowser"));
    filter_->setObjectName(QStringLiteral("browserFilter"));
    list_->setObjectName(QStringLiteral("browserList"));
    line_->setObjectName(QStringLiteral("browserLine"));
    filter_->setPlaceholderText(QStringLiteral("Filter"));
    filter_->setClearButtonEnabled(true);
    hear_->setChecked(true);
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Format"),
                            QStringLiteral("Channels"), QStringLiteral("Rate"),
                            QStringLiteral("Length")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setDragEnabled(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    line_->setTextFormat(Qt::PlainText);
    line_->setWordWrap(true);
    auto* choices = new QHBoxLayout;
    choices->addWidget(filter_, 1);
    choices->addWidget(hear_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(path_);
    layout->addLayout(choices);
    layout->addWidget(list_, 1);
    layout->addWidget(line_);
    resize(620, 420); // at 144 dpi still within a 1280 x 720 screen, its title bar included

    filter_->installEventFilter(this);
    list_->installEventFilter(this);
    connect(filter_, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(list_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { movedTo(item); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { take(item); });
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { preferVisible(); });
    const QPointer<SoundBrowser> self(this);
    commands_.setBrowserLine([self](const std::string& text) {
        if (self) {
            self->say(fromUtf8(text));
        }
    });
    // Details come on the reader's thread and are shown on this one, while the window lives.
    reader_ = std::make_unique<SoundInfoReader>(
        [self](int generation, std::size_t row, SoundInfoReader::Info info) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, generation, row, info = std::move(info)] {
                    if (self) {
                        self->showInfo(generation, row, info);
                    }
                },
                Qt::QueuedConnection);
        });
}

SoundBrowser::~SoundBrowser() {
    commands_.setBrowserLine({});
    reader_.reset();
}

std::filesystem::path SoundBrowser::startFolder(const std::string& fileAtStart) {
    std::error_code code;
    if (!fileAtStart.empty()) {
        const std::filesystem::path parent =
            std::filesystem::absolute(fileAtStart, code).parent_path();
        if (!code && std::filesystem::is_directory(parent, code)) {
            return parent;
        }
    }
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && std::filesystem::is_directory(fileSystemPath(music), code)) {
        return fileSystemPath(music);
    }
    return fileSystemPath(QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
}

void SoundBrowser::openFolder(const std::filesystem::path& folder) {
    std::vector<SoundFolder::Entry> entries;
    std::string error;
    if (!SoundFolder::list(folder, entries, error)) {
        say(QStringLiteral("%1 cannot be read: %2")
                .arg(fromUtf8(folder.string()), fromUtf8(error)));
        return;
    }
    folder_ = std::filesystem::absolute(folder).lexically_normal();
    entries_ = std::move(entries);
    static_cast<SoundList*>(list_)->folder = folder_;
    // Refilled and its first row made current by the program: no audition.
    filtering_ = true;
    list_->clear();
    std::vector<std::filesystem::path> files;
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const SoundFolder::Entry& entry = entries_[i];
        auto* item = new QTreeWidgetItem(
            {fromUtf8(entry.name) + (entry.folder ? QStringLiteral("/") : QString())});
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(entry.name));
        item->setData(0, entryRole, static_cast<qulonglong>(i));
        items << item;
        files.push_back(entry.folder ? std::filesystem::path() : folder_ / entry.name);
    }
    list_->addTopLevelItems(items);
    generation_ = reader_->setFolder(std::move(files));
    applyFilter();
    list_->setCurrentItem(list_->topLevelItem(0));
    filtering_ = false;
    showPath();
    preferVisible();
    say(QStringLiteral("%1 entries").arg(entries_.size()));
}

void SoundBrowser::showInfo(int generation, std::size_t row, const SoundInfoReader::Info& info) {
    if (generation != generation_ || row >= static_cast<std::size_t>(list_->topLevelItemCount())) {
        return; // a folder left behind
    }
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(row));
    if (!info.error.empty()) {
        item->setText(1, QStringLiteral("unreadable"));
        item->setToolTip(0, fromUtf8(info.error));
        return;
    }
    item->setText(1, fromUtf8(info.format));
    if (info.rate > 0) {
        item->setText(2, QString::number(info.channels));
        item->setText(3, QStringLiteral("%1 Hz").arg(info.rate, 0, 'f', 0));
        item->setText(4, seconds(info.seconds));
    }
}

void SoundBrowser::showPath() {
    while (QLayoutItem* item = path_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    std::vector<std::filesystem::path> parents;
    for (std::filesystem::path at = folder_; !at.empty(); at = at.parent_path()) {
        parents.insert(parents.begin(), at);
        if (at == at.parent_path()) {
            break;
        }
    }
    for (const std::filesystem::path& at : parents) {
        auto* button = new QToolButton(this);
        const std::string name = at.filename().string();
        button->setText(fromUtf8(name.empty() ? at.string() : name));
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, at] { openFolder(at); });
        path_->addWidget(button);
    }
    path_->addStretch(1);
}

void SoundBrowser::applyFilter() {
    const std::vector<std::size_t> shown = SoundFolder::filter(entries_, toUtf8(filter_->text()));
    const bool refilling = filtering_;
    filtering_ = true;
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        list_->topLevelItem(row)->setHidden(true);
    }
    for (const std::size_t i : shown) {
        list_->topLevelItem(static_cast<int>(i))->setHidden(false);
    }
    filtering_ = refilling;
    preferVisible();
}

void SoundBrowser::preferVisible() {
    std::vector<std::size_t> rows;
    const QRect area = list_->viewport()->rect();
    for (QTreeWidgetItem* item = list_->itemAt(area.topLeft()); item != nullptr;
         item = list_->itemBelow(item)) {
        if (list_->visualItemRect(item).top() > area.bottom()) {
            break;
        }
        rows.push_back(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)));
    }
    reader_->prefer(rows);
}

void SoundBrowser::movedTo(QTreeWidgetItem* item) {
    if (filtering_ || item == nullptr || !hear_->isChecked()) {
        return;
    }
    const auto i = item->data(0, entryRole).toULongLong();
    if (i < entries_.size() && !entries_[i].folder) {
        commands_.audition((folder_ / entries_[i].name).string());
    }
}

void SoundBrowser::take(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const auto i = item->data(0, entryRole).toULongLong();
    if (i >= entries_.size()) {
        return;
    }
    if (entries_[i].folder) {
        openFolder(folder_ / entries_[i].name);
    } else {
        commands_.take((folder_ / entries_[i].name).string());
    }
}

void SoundBrowser::say(const QString& text) {
    line_->setText(text);
}

bool SoundBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == filter_ &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down)) {
        list_->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (watched != list_) {
        return QWidget::eventFilter(watched, event);
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        take(list_->currentItem());
        return true;
    case Qt::Key_Backspace:
        openFolder(folder_.parent_path());
        return true;
    case Qt::Key_Space:
        commands_.toggleAudition();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void SoundBrowser::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
