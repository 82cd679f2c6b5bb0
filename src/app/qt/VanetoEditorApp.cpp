#include "app/qt/VanetoEditorApp.h"

#include "app/VanetoEditorController.h"
#include "app/qt/QtEditorDialog.h"
#include "app/qt/QuitOnSignal.h"
#include "midiout/Clock.h"
#include "midiout/MidiOutService.h"
#ifdef VANETO_WITH_ALSA
#include "midiout/alsa/AlsaMidiOutService.h"
#include "playback/AudioOutput.h"
#include "playback/alsa/AlsaPcmOutput.h"
#endif

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdlib>

namespace {

// With VANETO_EDITOR_QUIT_AFTER_PAINT set, the program ends right after its window has been
// painted for the first time (start-up time measurements).
class QuitAfterFirstPaint final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !quitting) {
            quitting = true;
            QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool quitting = false;
};

} // namespace

int VanetoEditorApp::run(int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VanetoEditor"));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));
    // The settings key is named as the program always named it; nothing is ever stored there.
    QApplication::setOrganizationName(QString::fromLatin1(settingsKey));
    QGuiApplication::setDesktopFileName(QStringLiteral("vaneto-editor"));

#ifdef VANETO_WITH_ALSA
    installAlsaMidiOutService("VanetoEditor");
    setDefaultAudioOutput(std::make_shared<AlsaPcmOutput>("default"));
#endif

    QtEditorDialog dialog;
    VanetoEditorController controller(dialog, defaultMidiOutService(), realClock());
    dialog.setController(&controller);
    controller.initDialog();
    // A file named on the command line (the file manager's "Open With"): a bank file opens as
    // "Open from Disk..." does, an audio file goes into bank 1 as "Open..." does; once the
    // window is up, so that any message shows over it.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        const QByteArray encoded = QFile::encodeName(arguments.at(1));
        const std::string path(encoded.constData(), static_cast<std::size_t>(encoded.size()));
        QTimer::singleShot(0, &dialog, [&controller, path] { controller.dropFiles({path}, 0); });
    }

    // Asked to end by a signal (SIGTERM is also what ends the programs of a closing session): a
    // running transfer is stopped as the Stop button does, and the program ends as soon as it
    // is idle again. When the application quits otherwise, the controller stops the transfer
    // as it goes.
    QTimer quitting;
    quitting.setInterval(20);
    QObject::connect(&quitting, &QTimer::timeout, &dialog, [&] {
        if (controller.quitWhenIdle()) {
            quitting.stop();
        }
    });
    const auto quit = [&] {
        if (!controller.quitWhenIdle()) {
            quitting.start();
        }
    };
    QuitOnSignal onSignals(quit);

    QuitAfterFirstPaint quitAfterPaint;
    if (std::getenv("VANETO_EDITOR_QUIT_AFTER_PAINT") != nullptr) {
        dialog.installEventFilter(&quitAfterPaint);
        dialog.show();
        const int code = QApplication::exec();
        dialog.setController(nullptr);
        return code;
    }
    dialog.exec();
    dialog.setController(nullptr);
    return 0;
}
