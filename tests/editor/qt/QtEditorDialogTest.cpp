#include "editor/qt/QtEditorDialog.h"
#include "files/BankFile.h"
#include "files/SampleImport.h"
#include "editor/VanetoEditorController.h"
#include "editor/qt/CAboutDlg.h"
#include "editor/qt/KeptWorkDialog.h"
#include "editor/qt/PartChooserDialog.h"
#include "editor/qt/QtText.h"
#include "editor/qt/ResynthesisDialog.h"
#include "editor/qt/WaveShapingDialog.h"
#include "editor/qt/views/FormulaField.h"
#include "editor/qt/SoundBrowser.h"
#include "editor/qt/VanetoEditorApp.h"
#include "editor/qt/views/WaveOverview.h"
#include "audio/WaveFileWriter.h"
#include "device/DvVaneto.h"
#include "midiout/Clock.h"
#include "midiout/SimulatedMidiOutService.h"
#include "playback/alsa/AlsaPcmOutput.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Real time running a hundred times faster: a bank transfer lasts about a second. While held,
// every sleep waits for the release, so that a test acts on a transfer that is surely running.
class FastClock final : public Clock {
public:
    void sleep(std::uint32_t milliseconds) override {
        {
            std::unique_lock lock(mutex);
            ++parked;
            released.wait(lock, [this] { return !held; });
            --parked;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(milliseconds * 10));
    }
    void hold() {
        const std::lock_guard lock(mutex);
        held = true;
    }
    void release() {
        {
            const std::lock_guard lock(mutex);
            held = false;
        }
        released.notify_all();
    }
    // Some thread waits in a held sleep.
    bool someoneParked() {
        const std::lock_guard lock(mutex);
        return parked > 0;
    }
    std::int64_t seconds() const override { return 1'700'000'000 + microseconds() / 1'000'000; }
    std::int64_t microseconds() const override {
        const auto real = std::chrono::steady_clock::now() - start;
        return std::chrono::duration_cast<std::chrono::microseconds>(real).count() * 100;
    }

private:
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
    int parked = 0;
};

// The editor as the program puts it together, on simulated ports.
struct Editor {
    Editor()
        : service(
              std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{"Port A"})),
          controller(dialog, service, clock) {
        dialog.setController(&controller);
        controller.initDialog();
        dialog.show();
    }
    ~Editor() { dialog.setController(nullptr); }

    template <typename W> W* control(int id) { return qobject_cast<W*>(dialog.control(id)); }

    FastClock clock;
    std::shared_ptr<SimulatedMidiOutService> service;
    QtEditorDialog dialog;
    VanetoEditorController controller;
};

// Runs check on the first top-level widget of type W that appears while the caller blocks.
template <typename W> void whenShown(std::function<void(W*)> check) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = dynamic_cast<W*>(widget); found != nullptr && found->isVisible()) {
                timer->stop();
                timer->deleteLater();
                check(found);
                return;
            }
        }
    });
    timer->start();
}

} // namespace

class QtEditorDialogTest : public QObject {
    Q_OBJECT

private slots:
    void controlsCaptionsAndStartState() {
        Editor editor;
        QtEditorDialog& dialog = editor.dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("VanetoEditor"));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QStringList captions;
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
            captions << button->objectName() + "=" + button->text() +
                            (button->isVisible() ? "" : " (hidden)");
        }
        QString figures;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->objectName() == QStringLiteral("waveformLine")) {
                figures = label->text();
            } else {
                captions << label->objectName() + "=" + label->text();
            }
        }
        captions.sort();
        // The panel under the template: the selected bank's figures and the Play button.
        QCOMPARE(figures, QString::fromUtf8("peak 0.00 dBFS \u00b7 65536 values \u00b7 1.486 s at "
                                            "44100 Hz \u00b7 1157 at full scale"));
        QCOMPARE(captions, (QStringList{"=Bankname",
                                        "=MIDI OUT Port",
                                        "=Sample",
                                        "=Vaneto MIDI Channel",
                                        "control1002=Open...",
                                        "control1003=Open from Disk...",
                                        "control1005=all banks",
                                        "control1006=selected bank",
                                        "control1009=Reset to Default",
                                        "control1010=Save to Disk...",
                                        "control1011=Version 1.2",
                                        "control1012=Send to Vaneto",
                                        "control1014=",
                                        "control1015=Stop (hidden)",
                                        QString::fromUtf8("control1016=A3 \u00b7 220.00 Hz"),
                                        "control1=OK (hidden)",
                                        "control2=Cancel (hidden)",
                                        "dismissWork=&Dismiss (hidden)",
                                        "oneSample=One sample",
                                        "otherKeptWork=&Other kept work... (hidden)",
                                        "play=Play",
                                        "restoreWork=&Restore (hidden)",
                                        "slotLabel=",
                                        "waves=256 waves",
                                        "workOfferText="}));
        QVERIFY(editor.control<QRadioButton>(EditorView::SelectedBankOption)->isChecked());
        QVERIFY(!editor.control<QProgressBar>(EditorView::ProgressBar)->isVisible());
        QCOMPARE(editor.control<QListWidget>(EditorView::BankList)->currentItem()->text(),
                 QStringLiteral("Bank 1"));
        QCOMPARE(editor.control<QComboBox>(EditorView::PortList)->currentText(),
                 QStringLiteral("Port A"));
        auto* channels = editor.control<QComboBox>(EditorView::ChannelList);
        QStringList items;
        for (int i = 0; i < channels->count(); ++i) {
            items << channels->itemText(i);
        }
        QCOMPARE(items, (QStringList{"1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9", " 10",
                                     " 11", " 12", " 13", " 14", " 15", " 16"}));
        QCOMPARE(channels->currentIndex(), 0);
    }

    void tabFollowsTheTemplateOrder() {
        Editor editor;
        QApplication::setActiveWindow(&editor.dialog);
        QVERIFY(QTest::qWaitForWindowActive(&editor.dialog));
        QWidget* list = editor.dialog.control(EditorView::BankList);
        QCOMPARE(QApplication::focusWidget(), list);
        QStringList order;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order, (QStringList{"control1000", "control1001", "control1003", "control1010",
                                     "control1012", "control1002", "control1009", "control1006",
                                     "control1007", "control1008", "control1004", "control1000"}));
    }

    void keepsItsProportionsAtAnyFontSize() {
        Editor editor;
        QtEditorDialog& dialog = editor.dialog;
        const QSize small = dialog.size();
        const QRect send = dialog.control(EditorView::SendButton)->geometry();
        QFont bigger = dialog.font();
        bigger.setPointSizeF(bigger.pointSizeF() * 2);
        dialog.setFont(bigger);
        const QSize big = dialog.size();
        QVERIFY2(big.width() > small.width() * 1.7 && big.width() < small.width() * 2.3,
                 qPrintable(QStringLiteral("%1 -> %2").arg(small.width()).arg(big.width())));
        QVERIFY(big.height() > small.height() * 1.7 && big.height() < small.height() * 2.3);
        const QRect sendBig = dialog.control(EditorView::SendButton)->geometry();
        QVERIFY(qAbs(double(send.x()) / small.width() - double(sendBig.x()) / big.width()) < 0.01);
        QVERIFY(qAbs(double(send.y()) / small.height() - double(sendBig.y()) / big.height()) <
                0.01);
        // Every caption fits its control.
        for (QWidget* widget : dialog.findChildren<QWidget*>()) {
            if (qobject_cast<QLabel*>(widget) || qobject_cast<QRadioButton*>(widget)) {
                QVERIFY2(widget->sizeHint().width() <= widget->width() + 1,
                         qPrintable(widget->objectName()));
            }
        }
    }

    void namesAreCommittedOnFocusLossNotOnEnter() {
        Editor editor;
        QApplication::setActiveWindow(&editor.dialog);
        QVERIFY(QTest::qWaitForWindowActive(&editor.dialog));
        auto* edit = editor.control<QLineEdit>(EditorView::BankNameEdit);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("Lead"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(editor.dialog.isVisible());
        QCOMPARE(QString::fromStdString(editor.controller.banks().bankName(0)),
                 QStringLiteral("Bank 1"));
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(QString::fromStdString(editor.controller.banks().bankName(0)),
                 QStringLiteral("Lead"));
        auto* list = editor.control<QListWidget>(EditorView::BankList);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Lead"));
        QCOMPARE(list->currentRow(), 0);

        // Choosing another bank in the list shows its names.
        list->setCurrentRow(3);
        QCOMPARE(edit->text(), QStringLiteral("Bank 4"));
    }

    void escAndTheCloseBoxEndTheDialogOnlyWhenIdle() {
        Editor editor;
        QtEditorDialog& dialog = editor.dialog;
        editor.clock.hold();
        editor.control<QPushButton>(EditorView::SendButton)->click();
        QVERIFY(!editor.controller.isIdle());
        QTRY_VERIFY(editor.clock.someoneParked());
        QTRY_VERIFY(editor.control<QProgressBar>(EditorView::ProgressBar)->isVisible());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        QVERIFY(dialog.isVisible());
        editor.clock.release();

        QTRY_VERIFY_WITH_TIMEOUT(editor.controller.isIdle(), 30000);
        QTRY_VERIFY(!editor.control<QProgressBar>(EditorView::ProgressBar)->isVisible());
        QTRY_COMPARE(editor.control<QLabel>(EditorView::StatusLine)->text(), QString());
        QCOMPARE(editor.service->messages().size(), std::size_t(17 + 2));

        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), 2);

        Editor second;
        second.dialog.close();
        QVERIFY(!second.dialog.isVisible());
    }

    void stopButtonEndsATransfer() {
        Editor editor;
        auto* stop = editor.control<QPushButton>(EditorView::StopButton);
        auto* progress = editor.control<QProgressBar>(EditorView::ProgressBar);
        const int fullWidth = progress->width();
        QVERIFY(!stop->isVisible());
        // Stopped while the transfer waits in its first pause: no bank message goes out (a
        // stop in the middle of the data message is checked on the controller).
        editor.clock.hold();
        editor.control<QPushButton>(EditorView::SendButton)->click();
        QTRY_VERIFY(editor.clock.someoneParked());
        QTRY_VERIFY(stop->isVisible());
        QVERIFY(progress->geometry().right() < stop->geometry().left());
        QVERIFY(progress->width() < fullWidth);
        stop->click();
        editor.clock.release();
        QTRY_VERIFY_WITH_TIMEOUT(editor.controller.isIdle(), 10000);
        QTRY_VERIFY(!stop->isVisible());
        QTRY_VERIFY(!progress->isVisible());
        for (const auto& message : editor.service->messages()) {
            QVERIFY(!message.isLong);
        }
        QCOMPARE(editor.control<QLabel>(EditorView::StatusLine)->text(), QString());
    }

    void aFileDroppedOnABankLineGoesIntoThatBank() {
        Editor editor;
        const QString path = QDir::temp().filePath(QStringLiteral("vaneto-dropped.raw"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(800, '\x22'));
        }
        auto* list = editor.control<QListWidget>(EditorView::BankList);
        const QPoint onBank3 =
            list->viewport()->mapTo(&editor.dialog, list->visualItemRect(list->item(2)).center());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(onBank3, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&editor.dialog, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(onBank3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&editor.dialog, &drop);
        QTRY_COMPARE(editor.control<QLineEdit>(EditorView::SampleNameEdit)->text(),
                     QStringLiteral("vaneto-dropped.raw"));
        QCOMPARE(list->currentRow(), 2);
        QVERIFY(!editor.control<QLineEdit>(EditorView::BankNameEdit)->acceptDrops());
        // On a wave slot of a wave bank: in from that slot, taken as one cycle.
        editor.controller.setLayout(false);
        auto* overview = static_cast<WaveOverview*>(
            editor.dialog.findChild<QWidget*>(QStringLiteral("waveOverview")));
        QTRY_VERIFY(overview->height() > 100);
        QPoint onSlot18;
        for (int y = 0; y < overview->height() && onSlot18.isNull(); ++y) {
            for (int x = 0; x < overview->width() && onSlot18.isNull(); ++x) {
                onSlot18 = overview->slotAt({x, y}) == 17 ? QPoint(x, y) : QPoint();
            }
        }
        const QString cycle = QDir::temp().filePath(QStringLiteral("vaneto-cycle.wav"));
        const std::vector<std::int16_t> values(600, 1000);
        WaveFileWriter(fileSystemPath(cycle)).writeMono16(values.data(), values.size(), 44100);
        QMimeData wave;
        wave.setUrls({QUrl::fromLocalFile(cycle)});
        const QPoint onCell = overview->mapTo(&editor.dialog, onSlot18);
        QDragEnterEvent enterWave(onCell, Qt::CopyAction, &wave, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&editor.dialog, &enterWave);
        QDropEvent onWave(QPointF(onCell), Qt::CopyAction, &wave, Qt::LeftButton, Qt::NoModifier);
        whenShown<QInputDialog>([](QInputDialog* question) { question->accept(); });
        QApplication::sendEvent(&editor.dialog, &onWave);
        QTRY_COMPARE(editor.controller.banks().sampleName(2, 17), std::string("vaneto-cycle.wav"));
        QFile::remove(path);
        QFile::remove(cycle);
    }

    void aFileNamedAtStartIsOpened() {
        const QString dir = QDir::tempPath();
        // A bank file of all banks with a renamed bank 4, then an audio file for bank 1.
        DvVaneto banks;
        banks.setBankName("From the command line", 3);
        std::string error;
        const QString bankFile = dir + QStringLiteral("/vaneto-at-start.mid");
        QVERIFY(BankFile::save(bankFile.toStdString(), banks, -1, error));
        Editor editor;
        VanetoEditorApp::openAtStart(editor.controller,
                                     {QStringLiteral("vaneto-editor"), bankFile});
        auto* list = editor.control<QListWidget>(EditorView::BankList);
        QTRY_COMPARE(list->item(3)->text(), QStringLiteral("From the command line"));

        const QString audio = dir + QStringLiteral("/vaneto-at-start.raw");
        QFile file(audio);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(600, '\x10'));
        file.close();
        VanetoEditorApp::openAtStart(editor.controller, {QStringLiteral("vaneto-editor"), audio});
        QTRY_COMPARE(editor.control<QLineEdit>(EditorView::SampleNameEdit)->text(),
                     QStringLiteral("vaneto-at-start.raw"));
        QFile::remove(bankFile);
        QFile::remove(audio);
    }

    void fitsTheScreen() {
        Editor editor;
        const QRect room = editor.dialog.screen()->availableGeometry();
        QVERIFY2(editor.dialog.width() <= room.width() && editor.dialog.height() <= room.height(),
                 qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                .arg(editor.dialog.width())
                                .arg(editor.dialog.height())
                                .arg(room.width())
                                .arg(room.height())));
        // Every control still inside the window.
        for (QWidget* child : editor.dialog.findChildren<QWidget*>()) {
            if (child->parentWidget() == &editor.dialog && child->isVisible()) {
                QVERIFY(editor.dialog.rect().contains(child->geometry()));
            }
        }
    }

    void aboutBoxFromTheContextMenu() {
        Editor editor;
        QString menuText;
        QString title;
        QString name;
        QString version;
        QSize logo;
        whenShown<QMenu>([&](QMenu* menu) {
            menuText = menu->actions().value(0)->text();
            whenShown<CAboutDlg>([&](CAboutDlg* about) {
                title = about->windowTitle();
                version = about->versionText()->text();
                logo = about->logo()->pixmap().size();
                for (QLabel* label : about->findChildren<QLabel*>()) {
                    if (label->text() == QStringLiteral("VanetoEditor")) {
                        name = label->text();
                    }
                }
                QTest::keyClick(about, Qt::Key_Return);
            });
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                                editor.dialog.mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(&editor.dialog, &event);
        QCOMPARE(menuText, QStringLiteral("&About VanetoEditor..."));
        QCOMPARE(title, QStringLiteral("About VanetoEditor"));
        QCOMPARE(name, QStringLiteral("VanetoEditor"));
        QCOMPARE(version, QStringLiteral("Version 1.2"));
        QCOMPARE(logo, QSize(64, 64));
        QVERIFY(editor.dialog.isVisible());

        // F1 opens it too; Esc ends it.
        QApplication::setActiveWindow(&editor.dialog);
        QVERIFY(QTest::qWaitForWindowActive(&editor.dialog));
        bool shown = false;
        whenShown<CAboutDlg>([&](CAboutDlg* about) {
            shown = true;
            QTest::keyClick(about, Qt::Key_Escape);
        });
        QTest::keyClick(&editor.dialog, Qt::Key_F1);
        QVERIFY(shown);
    }

    void drawOnAWaveAndUndoIt() {
        Editor editor;
        const int before = editor.dialog.height();
        editor.dialog.findChild<QRadioButton*>(QStringLiteral("waves"))->click();
        auto* draw = editor.dialog.findChild<QWidget*>(QStringLiteral("waveDraw"));
        QVERIFY(draw != nullptr && draw->isVisible());
        QVERIFY(editor.dialog.height() > before);
        // Taller, and still on the screen (a small one at 144 dpi too) beside the Play button.
        const QSize room = editor.dialog.screen()->availableGeometry().size() - QSize(16, 48);
        QVERIFY(editor.dialog.height() <= std::max(room.height(), before));
        QVERIFY(draw->geometry().right() <
                editor.dialog.findChild<QWidget*>(QStringLiteral("play"))->geometry().left());
        const auto factory = editor.controller.banks().bankData(0);
        const std::vector<std::int16_t> original(factory.begin(), factory.end());
        // A stroke along the middle line: slot 1 (a sine) goes flat where it passed.
        const int y = draw->height() / 2;
        QTest::mousePress(draw, Qt::LeftButton, {}, QPoint(draw->width() / 4, y));
        QTest::mouseMove(draw, QPoint(draw->width() / 2, y));
        QTest::mouseRelease(draw, Qt::LeftButton, {}, QPoint(draw->width() / 2, y));
        QVERIFY(std::abs(editor.controller.banks().bankData(0)[100]) < 300);
        // Esc in the middle of a stroke takes the stroke back and leaves the window open.
        QTest::mousePress(draw, Qt::LeftButton, {}, QPoint(0, 0));
        QTest::mouseMove(draw, QPoint(draw->width() - 1, 0));
        QTest::keyClick(draw, Qt::Key_Escape);
        QVERIFY(editor.dialog.isVisible());
        QTest::mouseRelease(draw, Qt::LeftButton, {}, QPoint(draw->width() - 1, 0));
        QApplication::setActiveWindow(&editor.dialog);
        QTest::keyClick(draw, Qt::Key_Z, Qt::ControlModifier);
        const auto undone = editor.controller.banks().bankData(0);
        QVERIFY(std::equal(undone.begin(), undone.end(), original.begin()));
    }

    // A stroke that loses the mouse to the right-button menu ends as if let go, and Ctrl+Z takes
    // it back; a stroke taken back with Esc leaves the step to redo where it was.
    void aStrokeEndsWhenItsViewLosesTheMouse() {
        Editor editor;
        editor.dialog.findChild<QRadioButton*>(QStringLiteral("waves"))->click();
        auto* draw = editor.dialog.findChild<QWidget*>(QStringLiteral("waveDraw"));
        const auto factory = editor.controller.banks().bankData(0);
        const std::vector<std::int16_t> original(factory.begin(), factory.end());
        const int y = draw->height() / 2;
        QTest::mousePress(draw, Qt::LeftButton, {}, QPoint(draw->width() / 4, y));
        QTest::mouseMove(draw, QPoint(draw->width() / 2, y));
        // Ctrl+Z during the stroke is refused, and the line says why.
        QApplication::setActiveWindow(&editor.dialog);
        QTest::keyClick(draw, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(editor.dialog.findChild<QLabel*>(QStringLiteral("waveformLine"))
                    ->text()
                    .contains(QStringLiteral("not now: a drag on a wave is under way")));
        QTimer::singleShot(200, [] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                menu->close();
            }
        });
        QTest::mousePress(draw, Qt::RightButton, {}, QPoint(draw->width() / 2, y));
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(draw->width() / 2, y),
                               draw->mapToGlobal(QPoint(draw->width() / 2, y)));
        QApplication::sendEvent(draw, &menu);
        QVERIFY(!editor.controller.document().dragging());
        const std::vector<std::int16_t> drawn(editor.controller.banks().bankData(0).begin(),
                                              editor.controller.banks().bankData(0).end());
        QVERIFY(drawn != original);
        QApplication::setActiveWindow(&editor.dialog);
        QTest::keyClick(draw, Qt::Key_Z, Qt::ControlModifier);
        auto now = editor.controller.banks().bankData(0);
        QVERIFY(std::equal(now.begin(), now.end(), original.begin()));
        // Redo waits; a stroke begun and taken back with Esc leaves it waiting.
        QTest::mousePress(draw, Qt::LeftButton, {}, QPoint(0, 0));
        QTest::mouseMove(draw, QPoint(draw->width() - 1, 0));
        QTest::keyClick(draw, Qt::Key_Escape);
        QTest::mouseRelease(draw, Qt::LeftButton, {}, QPoint(draw->width() - 1, 0));
        QTest::keyClick(draw, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        now = editor.controller.banks().bankData(0);
        QVERIFY(std::equal(now.begin(), now.end(), drawn.begin()));
    }

    void choosePartByTypingClickingAndSpace() {
        std::vector<std::pair<float, float>> columns(100, {-0.5f, 0.5f});
        double played = -1;
        PartChooserDialog dialog(columns, 10.0, 1.486, 2.0, [&](double at) { played = at; });
        dialog.show();
        auto* edit = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("partStart"));
        QCOMPARE(edit->value(), 2.0);
        edit->setValue(8.9); // past the last start that keeps the part inside: held there
        QCOMPARE(dialog.start(), 10.0 - 1.486);
        auto* overview = dialog.findChild<QWidget*>(QStringLiteral("partOverview"));
        QTest::mouseClick(overview, Qt::LeftButton, {}, QPoint(overview->width() / 2, 10));
        QVERIFY(std::abs(dialog.start() - (5.0 - 1.486 / 2)) < 0.1);
        QCOMPARE(edit->value(), dialog.start());
        QTest::keyClick(&dialog, Qt::Key_Space);
        QCOMPARE(played, dialog.start());
    }

    // A recording into a wave bank: the question's third choice, the dialog's waves recomputed
    // for the spectral mode, OK as one undo step.
    void resynthesizeARecordingIntoWaves() {
        Editor editor;
        editor.controller.setLayout(false);
        const std::string path =
            QDir::temp()
                .filePath(QStringLiteral("resynth-%1.wav").arg(QCoreApplication::applicationPid()))
                .toStdString();
        QCOMPARE(
            std::system(("sox -n -r 44100 -c 1 '" + path + "' synth 1 sawtooth 100-200 2>/dev/null")
                            .c_str()),
            0);
        const auto bank = [&editor] {
            const auto data = editor.controller.banks().bankData(0);
            return std::vector<std::int16_t>(data.begin(), data.end());
        };
        const std::vector<std::int16_t> before = bank();
        QString said;
        whenShown<QInputDialog>([&](QInputDialog* question) {
            question->setTextValue(question->comboBoxItems().last());
            whenShown<ResynthesisDialog>([&](ResynthesisDialog* dialog) {
                dialog->findChild<QComboBox*>(QStringLiteral("resynthMode"))->setCurrentIndex(1);
                auto* line = dialog->findChild<QLabel*>(QStringLiteral("resynthSaid"));
                QTRY_VERIFY(line->text().contains(QStringLiteral("Hz over")));
                said = line->text();
                dialog->accept();
            });
            question->accept();
        });
        editor.controller.dropFiles({path}, 0);
        QVERIFY2(said.contains(QStringLiteral("Hz over")), qPrintable(said));
        QVERIFY(bank() != before);
        QCOMPARE(editor.controller.document().history().undoLabel().rfind("import of resynth-", 0),
                 0u);
        editor.controller.undo();
        QVERIFY(bank() == before);
        QFile::remove(QString::fromStdString(path));
    }

    // A formula typed key by key: its error marked at its column, then OK as one undo step
    // that fills the selected slots and names them.
    void aFormulaFillsTheSelectedSlots() {
        Editor editor;
        editor.controller.setLayout(false);
        editor.controller.selectSlot(3, false);
        editor.controller.selectSlot(6, true);
        const auto bank = [&editor] {
            const auto data = editor.controller.banks().bankData(0);
            return std::vector<std::int16_t>(data.begin(), data.end());
        };
        const std::vector<std::int16_t> before = bank();
        int marked = 0;
        whenShown<WaveShapingDialog>([&](WaveShapingDialog* dialog) {
            auto* field = dialog->findChild<FormulaField*>(QStringLiteral("shapeFormula"));
            field->clear();
            QTest::keyClicks(field, QStringLiteral("sin(2*pi*x"));
            QTRY_VERIFY(!dialog->findChild<QLabel*>(QStringLiteral("shapeError"))->text().isEmpty());
            marked = field->markedColumn();
            QTest::keyClicks(field, QStringLiteral(")*(1-t)"));
            QTRY_VERIFY(dialog->findChild<QLabel*>(QStringLiteral("shapeError"))->text().isEmpty());
            QTest::keyClick(field, Qt::Key_Return);
        });
        editor.controller.shapeWaves(true);
        QCOMPARE(marked, 10);
        const std::vector<std::int16_t> after = bank();
        QCOMPARE(after[3 * 256 + 64], std::int16_t{32767});
        QCOMPARE(after[6 * 256 + 64], std::int16_t{0});
        QVERIFY(std::equal(after.begin(), after.begin() + 3 * 256, before.begin()));
        QCOMPARE(editor.controller.banks().sampleName(0, 4), std::string("sin(2*pi*x)*(1-t)"));
        QCOMPARE(editor.controller.document().history().undoLabel(),
                 std::string("formula of slots 4-7 of bank 1"));
        editor.controller.undo();
        QVERIFY(bank() == before);
    }

    // The browser in a real window, heard through ALSA's file plugin: the arrow moves to a file,
    // what reaches the device is what the import puts into the bank, Return takes it, Ctrl+Z
    // takes it back.
    void browseHearTakeAndUndo() {
        const QString dir = QDir::temp().filePath(
            QStringLiteral("browse-%1").arg(QCoreApplication::applicationPid()));
        QDir().mkpath(dir);
        const std::string sound = (dir + QStringLiteral("/pluck.flac")).toStdString();
        QCOMPARE(
            std::system(
                ("sox -n -r 48000 -c 2 '" + sound + "' synth 3 pluck 220 2>/dev/null").c_str()),
            0);
        QFile::copy(QString::fromStdString(sound), dir + QStringLiteral("/zzz.flac"));
        const std::string heard = (dir + QStringLiteral("/heard.raw")).toStdString();
        setDefaultAudioOutput(
            std::make_shared<AlsaPcmOutput>("file:FILE=" + heard + ",FORMAT=raw"));
        {
            Editor editor;
            SoundBrowser browser(editor.controller.browser(), &editor.dialog);
            browser.openFolder(fileSystemPath(dir));
            browser.show();
            // Down to the second file and back up to the first: the newest is heard.
            QTest::keyClick(browser.list(), Qt::Key_Down);
            QTest::keyClick(browser.list(), Qt::Key_Up);
            auto* line = browser.findChild<QLabel*>(QStringLiteral("browserLine"));
            QTRY_VERIFY(line->text().startsWith(QStringLiteral("pluck.flac: FLAC")));
            // Each open of the device rewrites its file: let the audition play out.
            QTRY_VERIFY_WITH_TIMEOUT(!editor.controller.isPlaying(), 10000);
            DvVaneto store;
            SampleImport::importInto(sound, store, 0);
            QFile raw(QString::fromStdString(heard));
            QVERIFY(raw.open(QIODevice::ReadOnly));
            const QByteArray bytes = raw.readAll();
            QVERIFY(bytes.size() >= 65536 * 2);
            QVERIFY(std::memcmp(bytes.constData(), store.bankData(0).data(), 65536 * 2) == 0);
            const auto before = editor.controller.banks().bankData(0)[100];
            QTest::keyClick(browser.list(), Qt::Key_Return);
            QCOMPARE(editor.controller.banks().bankData(0)[100], store.bankData(0)[100]);
            editor.dialog.show();
            QApplication::setActiveWindow(&editor.dialog);
            QVERIFY(QTest::qWaitForWindowActive(&editor.dialog));
            QTest::keyClick(&editor.dialog, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(editor.controller.banks().bankData(0)[100], before);
        }
        setDefaultAudioOutput(nullptr);
        QDir(dir).removeRecursively();
    }

    void aSignalAnswersAnOpenQuestionNoAndOpensNoOther() {
        Editor editor;
        editor.dialog.show();
        QTimer::singleShot(100, &editor.dialog, [&editor] { editor.dialog.quit(); });
        QCOMPARE(editor.dialog.messageBox("Overwrite?", "VanetoEditor", EditorView::Buttons::YesNo,
                                          EditorView::Icon::Question),
                 static_cast<int>(EditorView::IdNo));
        QVERIFY(!editor.dialog.openFileName());
    }

    void aWindowThatGrowsStaysOnItsScreen() {
        Editor editor;
        editor.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor.dialog));
        const QRect area = editor.dialog.screen()->availableGeometry();
        editor.dialog.move(area.left(), area.bottom() - editor.dialog.frameGeometry().height());
        editor.controller.setLayout(false); // the wave panel: the window grows taller
        QTRY_VERIFY(editor.dialog.frameGeometry().bottom() <= area.bottom());
        QVERIFY(editor.dialog.frameGeometry().top() >= area.top());
    }

    void unknownOptionsAreRefusedAndDashDashEndsThem() {
        QVERIFY(!VanetoEditorApp::parse({"--restart"}).error.empty());
        QVERIFY(VanetoEditorApp::parse({"--restore"}).restore);
        QVERIFY(!VanetoEditorApp::parse({"--rate", "99"}).error.empty());
        const auto dashed = VanetoEditorApp::parse({"-platform", "offscreen", "--", "--restore"});
        QVERIFY(dashed.error.empty());
        QCOMPARE(dashed.file.value_or(""), std::string("--restore"));
        QCOMPARE(VanetoEditorApp::parse({"--rate=200", "a.wav"}).rate, 200.0);
        // Only the = form takes an ID: a word after --restore is the file.
        const auto named = VanetoEditorApp::parse({"--restore=20261209-140211-4711"});
        QCOMPARE(named.restoreId, std::string("20261209-140211-4711"));
        const auto file = VanetoEditorApp::parse({"--restore", "20261209-140211-4711"});
        QVERIFY(file.restore && file.restoreId.empty());
        QCOMPARE(file.file.value_or(""), std::string("20261209-140211-4711"));
    }

    // A dragged path carries its own bytes, UTF-8 or not.
    void dragsCarryAPathsOwnBytes() {
        const std::vector<std::string> paths = {"/tmp/caf\xE9 1.wav", "/tmp/\xC3\xA9t\xC3\xA9.wav"};
        QMimeData data;
        setLocalFiles(data, paths);
        QCOMPARE(droppedFiles(data), paths);
        // What another program drags: URLs of UTF-8 names.
        QMimeData other;
        other.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/\u00e9t\u00e9 2.wav"))});
        QCOMPARE(droppedFiles(other), std::vector<std::string>{"/tmp/\xC3\xA9t\xC3\xA9 2.wav"});
        other.setUrls({QUrl(QStringLiteral("https://example.org/a.wav"))});
        QVERIFY(droppedFiles(other).empty());
    }

    // The list of kept work by keys alone: it opens with the newest selected; a state that does
    // not read cannot be taken; Down and Return take the next one.
    void keptWorkListByKeys() {
        KeptWorkDialog dialog({{"1", "2026-12-09 14:02:11", "damaged: not a journal", "", 0, false},
                               {"2", "2026-12-08 09:00:00", "crash", "Strings", 3, true}},
                              nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.list());
        QTest::keyClick(dialog.list(), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QTest::keyClick(dialog.list(), Qt::Key_Down);
        QTest::keyClick(dialog.list(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosen(), std::string("2"));
    }
};

QTEST_MAIN(QtEditorDialogTest)
#include "QtEditorDialogTest.moc"
