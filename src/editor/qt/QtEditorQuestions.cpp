#include "editor/qt/QtEditorQuestions.h"

#include "editor/EditorView.h"
#include "editor/qt/ResynthesisDialog.h"
#include "editor/qt/WaveShapingDialog.h"

#include "editor/qt/CAboutDlg.h"
#include "editor/qt/PartChooserDialog.h"
#include "editor/qt/QtText.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>

#include <algorithm>

namespace {

using Buttons = EditorView::Buttons;
using Icon = EditorView::Icon;
using enum EditorView::Answer;

} // namespace

QtEditorQuestions::QtEditorQuestions(QWidget* parent) : parent_(parent) {}

QtEditorQuestions::~QtEditorQuestions() = default;

void QtEditorQuestions::quit() {
    quitting_ = true;
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == parent_ || !window->isVisible() || !window->isModal()) {
            continue;
        }
        if (auto* progress = qobject_cast<QProgressDialog*>(window)) {
            progress->cancel();
        } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
            dialog->reject();
        } else {
            window->close();
        }
    }
}

int QtEditorQuestions::messageBox(const std::string& text, const std::string& caption,
                                  Buttons buttons, Icon icon) {
    if (quitting_) {
        return buttons == Buttons::YesNo ? IdNo : IdCancel;
    }
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    if (icon == Icon::Question) {
        boxIcon = QMessageBox::Question;
    } else if (icon == Icon::Warning) {
        boxIcon = QMessageBox::Warning;
    }
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == Buttons::OkCancel) {
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    } else if (buttons == Buttons::YesNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
    }
    QMessageBox box(boxIcon, fromUtf8(caption), fromUtf8(text), standard, parent_);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return static_cast<int>(IdOk);
    case QMessageBox::Yes:
        return static_cast<int>(IdYes);
    case QMessageBox::No:
        return static_cast<int>(IdNo);
    default:
        // The close box answers as the box's escape button would.
        return static_cast<int>(buttons == Buttons::YesNo ? IdNo : IdCancel);
    }
}

std::optional<std::string> QtEditorQuestions::openFileName() {
    if (quitting_) {
        return std::nullopt;
    }
    const QString path = QFileDialog::getOpenFileName(parent_);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return fileSystemPath(path);
}

std::optional<std::string> QtEditorQuestions::saveFileName(const std::string& filterName,
                                                           const std::string& pattern,
                                                           const std::string& defaultExtension) {
    if (quitting_) {
        return std::nullopt;
    }
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(fromUtf8(filterName) + QStringLiteral(" (") + fromUtf8(pattern) +
                         QStringLiteral(")"));
    dialog.setDefaultSuffix(fromUtf8(defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return fileSystemPath(dialog.selectedFiles().constFirst());
}

void QtEditorQuestions::showAboutBox() {
    if (quitting_) {
        return;
    }
    CAboutDlg about(parent_);
    about.exec();
}

std::optional<std::size_t> QtEditorQuestions::chooseFrameSize(std::size_t frames,
                                                              std::size_t suggested,
                                                              bool offerResynthesis) {
    if (quitting_) {
        return std::nullopt;
    }
    static constexpr std::size_t sizes[] = {256, 600, 1024, 2048, 4096};
    QStringList items = {QStringLiteral("one cycle of %1 values").arg(frames)};
    int current = 0;
    for (const std::size_t size : sizes) {
        if (size == suggested) {
            current = static_cast<int>(items.size());
        }
        items << (frames % size == 0
                      ? QStringLiteral("a table of %1 frames of %2").arg(frames / size).arg(size)
                      : QStringLiteral("a table of frames of %1").arg(size));
    }
    items << QStringLiteral("a table of frames of another size...");
    if (offerResynthesis) {
        items << QStringLiteral("Resynthesize the recording into waves...");
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        parent_, QStringLiteral("VanetoEditor"),
        QStringLiteral("The file holds %1 frames and does not say how they are laid out.\n"
                       "Take it as:")
            .arg(frames),
        items, current, false, &ok);
    if (!ok) {
        return std::nullopt;
    }
    const auto index = items.indexOf(chosen);
    if (index == 0) {
        return 0;
    }
    if (index >= 1 && index <= static_cast<qsizetype>(std::size(sizes))) {
        return sizes[index - 1];
    }
    if (offerResynthesis && index == items.size() - 1) {
        return EditorView::resynthesizeChoice;
    }
    const int size =
        QInputDialog::getInt(parent_, QStringLiteral("VanetoEditor"),
                             QStringLiteral("Values a frame:"), 2048, 2, 1 << 20, 1, &ok);
    return ok ? std::optional<std::size_t>(static_cast<std::size_t>(size)) : std::nullopt;
}

std::optional<double>
QtEditorQuestions::choosePart(const std::vector<std::pair<float, float>>& overview, double seconds,
                              double partSeconds, double start,
                              std::function<void(double)> preview) {
    if (quitting_) {
        return std::nullopt;
    }
    PartChooserDialog dialog(overview, seconds, partSeconds, start, std::move(preview), parent_);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.start();
}

bool QtEditorQuestions::showReading(const std::string& what, std::uint64_t done,
                                    std::uint64_t total) {
    if (quitting_ && done < total) {
        return false;
    }
    if (done >= total) {
        reading_.reset();
        return true;
    }
    if (!reading_) {
        reading_ = std::make_unique<QProgressDialog>(fromUtf8(what), QStringLiteral("Cancel"), 0,
                                                     1000, parent_);
        reading_->setWindowTitle(QStringLiteral("VanetoEditor"));
        reading_->setWindowModality(Qt::WindowModal);
        reading_->setMinimumDuration(300);
    }
    // A modal progress dialog handles the window's events as it moves.
    reading_->setValue(static_cast<int>(done * 1000 / std::max<std::uint64_t>(total, 1)));
    return !reading_->wasCanceled();
}

std::optional<WaveResynthesis::Result>
QtEditorQuestions::chooseResynthesis(const ResynthesisView::Setup& setup) {
    if (quitting_) {
        return std::nullopt;
    }
    ResynthesisDialog dialog(setup, parent_);
    if (dialog.exec() != QDialog::Accepted || quitting_) {
        return std::nullopt;
    }
    return dialog.result();
}

std::optional<WaveShapingView::Choice>
QtEditorQuestions::chooseShaping(const WaveShapingView::Setup& setup) {
    if (quitting_) {
        return std::nullopt;
    }
    WaveShapingDialog dialog(setup, parent_);
    if (dialog.exec() != QDialog::Accepted || quitting_) {
        return std::nullopt;
    }
    return WaveShapingView::Choice{dialog.request(), dialog.result()};
}
