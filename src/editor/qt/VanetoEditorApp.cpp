#include "editor/qt/VanetoEditorApp.h"

#include "VanetoVersion.h"

#include "editor/VanetoEditorController.h"
#include "kept/WorkFolder.h"
#include "editor/qt/QtEditorDialog.h"
#include "editor/qt/QuitOnSignal.h"
#include "editor/qt/SoundBrowser.h"
#include "midiout/Clock.h"
#include "midiout/MidiOutService.h"
#include "midiout/SysexPacer.h"
#ifdef VANETO_WITH_ALSA
#include "midiout/alsa/AlsaMidiOutService.h"
#include "playback/AudioOutput.h"
#include "playback/alsa/AlsaPcmOutput.h"
#endif

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

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

void VanetoEditorApp::openAtStart(VanetoEditorController& controller,
                                  const QStringList& arguments) {
    std::vector<std::string> words;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray encoded = QFile::encodeName(arguments.at(i));
        words.emplace_back(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    }
    const StartOptions options = parse(words);
    if (!options.file) {
        return;
    }
    QTimer::singleShot(0, qApp,
                       [&controller, path = *options.file] { controller.dropFiles({path}, 0); });
}

VanetoEditorApp::StartOptions VanetoEditorApp::parse(const std::vector<std::string>& words) {
    // Qt's own options, which QApplication takes out of the command line: with a value, alone.
    static const std::vector<std::string> qtWithValue = {"-platform",      "-platformpluginpath",
                                                         "-platformtheme", "-plugin",
                                                         "-style",         "-stylesheet",
                                                         "-session",       "-display",
                                                         "-geometry",      "-qwindowgeometry",
                                                         "-qwindowtitle",  "-qwindowicon",
                                                         "-name",          "-title"};
    static const std::vector<std::string> qtAlone = {"-reverse", "-widgetcount", "-nograb",
                                                     "-dograb", "-sync"};
    const auto among = [](const std::vector<std::string>& list, const std::string& word) {
        return std::find(list.begin(), list.end(), word) != list.end();
    };
    StartOptions options;
    options.rate = SysexPacer::wireBytesPerSecond;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size() && options.error.empty(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
            if (options.file) {
                options.error = "one file at a time, not also '" + word + "'";
            }
            options.file = word;
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "-h" || word == "--help") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else if (word == "--restore") {
            options.restore = true;
        } else if (word.rfind("--restore=", 0) == 0) {
            options.restore = true;
            options.restoreId = word.substr(10);
            if (options.restoreId.empty()) {
                options.error = "--restore= takes the ID of a kept state (see `vaneto kept`)";
            }
        } else if (word == "--browse") {
            if (i + 1 >= words.size()) {
                options.error = "--browse takes a folder";
            } else {
                options.browse = words[++i];
            }
        } else if (word == "--rate" || word.rfind("--rate=", 0) == 0) {
            const std::string value =
                word == "--rate" ? (i + 1 < words.size() ? words[++i] : "") : word.substr(7);
            int number = 0;
            const char* end = value.data() + value.size();
            const auto [stop, code] = std::from_chars(value.data(), end, number);
            if (value.empty() || code != std::errc() || stop != end || number < 100 ||
                number > static_cast<int>(SysexPacer::wireBytesPerSecond)) {
                options.error =
                    "--rate takes bytes per second from 100 to 3125, not '" + value + "'";
            }
            options.rate = number;
        } else if (among(qtWithValue, word)) {
            ++i;
        } else if (!among(qtAlone, word)) {
            options.error = "unknown option '" + word + "'";
        }
    }
    return options;
}

const char* VanetoEditorApp::helpText() {
    return R"(Usage: vaneto-editor [--rate B] [--restore[=ID]] [--browse DIR] [--] [FILE]

Edits the sample memory of the Vaneto synthesizer, seven banks of 65536 signed 16-bit values,
in one window: import WAV, AIFF or raw audio into a bank, name banks and samples, reset banks
to their factory content, save and open banks as MIDI files, see and hear a bank, and send one
or all banks to the synthesizer through a MIDI port.

FILE, when given, is opened at start: a bank file (a MIDI file) as "Open from Disk..." opens
it, any other file imported into bank 1 as "Open..." imports it.

Options:
  --           ends the options: a FILE named after it may begin with '-'
  --rate B     send at B bytes per second, 100 to 3125 (default 3125, the MIDI wire
               rate), for interfaces that lose data at the full rate; `vaneto check
               --find-rate` finds a safe one. Not stored: give it at every start.
  --restore    bring back the banks as the last editor left them, with their history,
               without offering it first (nothing to restore: start as usual); FILE,
               when given, is opened into them afterwards
  --restore=ID bring back the kept state ID (from `vaneto kept`) instead
  --browse DIR open the sound browser on DIR at start, its file list holding the keys
               (the browser is also on the window's right-click menu and F3): moving to a
               file plays it as the selected bank would hold it, Return takes it in
  -h, --help   show this text and exit
  --version    show the version and exit

The editor keeps its work as it changes (the banks, their names, layouts and history) in
$XDG_STATE_HOME/vaneto-editor, or ~/.local/state/vaneto-editor: after Esc, a crash or a
power cut the next start offers to restore it, until it is restored or dismissed; Other
kept work... lists every kept state. At each quit the banks are also written there as a bank
file (<state>.mid) that "Open from Disk..." and `vaneto list` read; `vaneto kept` lists,
saves and removes the kept states from a shell. When changes of this run could not be kept
(a full disk, a folder that is not yours), the quit says why and the exit status is 1.

The command-line tool `vaneto` does the same from scripts; see `vaneto --help`.
)";
}

int VanetoEditorApp::finish(VanetoEditorController& controller) {
    // What is pending goes to the disk first: within 2 s, then the program ends anyway.
    if (controller.finishWork(std::chrono::seconds(2))) {
        return 0;
    }
    std::fprintf(stderr, "vaneto-editor: the changes of this run were not kept in %s: %s\n",
                 WorkFolder::defaultPath().c_str(), controller.unkeptWork().c_str());
    return 1;
}

int VanetoEditorApp::run(int& argc, char** argv) {
    const StartOptions options =
        parse(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    if (!options.error.empty()) {
        std::fprintf(
            stderr,
            "vaneto-editor: %s\nUsage: vaneto-editor [--rate B] [--restore[=ID]] [--browse DIR] "
            "[--] "
            "[FILE]\nTry "
            "'vaneto-editor --help'.\n",
            options.error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(helpText(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("vaneto-editor " VANETO_VERSION);
        return 0;
    }
    const double rate = options.rate;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VanetoEditor"));
    QApplication::setApplicationVersion(QStringLiteral(VANETO_VERSION));
    // The settings key is named as the program always named it; nothing is ever stored there.
    QApplication::setOrganizationName(QString::fromLatin1(settingsKey));
    QGuiApplication::setDesktopFileName(QStringLiteral("vaneto-editor"));

#ifdef VANETO_WITH_ALSA
    installAlsaMidiOutService("VanetoEditor", rate);
    setDefaultAudioOutput(std::make_shared<AlsaPcmOutput>("default"));
#endif

    QtEditorDialog dialog;
    VanetoEditorController controller(dialog, defaultMidiOutService(), realClock());
    dialog.setController(&controller);
    controller.setBytesPerSecond(rate);
    controller.initDialog();
    controller.keepWork(WorkFolder::defaultPath(), options.restore, dialog.workOffer(),
                        options.restoreId);
    // A failure of the kept work's writing shows on the panel's line within a second.
    QTimer workPoll;
    QObject::connect(&workPoll, &QTimer::timeout, &dialog, [&] { controller.pollWork(); });
    workPoll.start(1000);
    // The sound browser, made when first asked for: a window of the dialog's (whose exec()
    // would otherwise keep the keys from it), deleted before the controller it calls.
    std::unique_ptr<SoundBrowser> browser;
    const auto browse = [&](const std::optional<std::string>& folder) {
        if (!browser) {
            browser = std::make_unique<SoundBrowser>(controller.browser(), &dialog);
            browser->openFolder(SoundBrowser::startFolder(options.file.value_or("")));
        }
        if (folder) {
            browser->openFolder(*folder);
        }
        browser->show();
        browser->raise();
        browser->activateWindow();
        browser->list()->setFocus(Qt::OtherFocusReason);
    };
    dialog.setBrowse([&] { browse(std::nullopt); });
    if (options.browse) {
        QTimer::singleShot(0, qApp, [&] { browse(options.browse); });
    }
    // A file named on the command line (the file manager's "Open With"), once the window is
    // up, so that any message shows over it.
    if (options.file) {
        const std::string path = *options.file;
        QTimer::singleShot(0, qApp, [&controller, path] { controller.dropFiles({path}, 0); });
    }

    // Asked to end by a signal (SIGTERM is also what ends the programs of a closing session): a
    // running transfer is stopped as the Stop button does, and the program ends as soon as it
    // is idle again. When the application quits otherwise, the controller stops the transfer
    // as it goes.
    QTimer quitting;
    quitting.setInterval(20);
    QObject::connect(&quitting, &QTimer::timeout, &dialog, [&] {
        dialog.quit();
        if (controller.quitWhenIdle()) {
            quitting.stop();
        }
    });
    const auto quit = [&] {
        // Whatever question is open counts as answered No, whatever file dialog as cancelled.
        dialog.quit();
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
        const int kept = finish(controller);
        dialog.setController(nullptr);
        return code != 0 ? code : kept;
    }
    dialog.exec();
    const int code = finish(controller);
    dialog.setController(nullptr);
    return code;
}
