#pragma once

#include <QStringList>

#include <optional>
#include <string>
#include <vector>

class VanetoEditorController;

// The application object of the vaneto-editor program: sets up Qt and the MIDI output, runs the
// editor dialog modally and ends the program when it closes. No settings are stored.
class VanetoEditorApp {
public:
    static constexpr const char* settingsKey = "Local AppWizard-Generated Applications";

    // The file named on the command line (arguments as QApplication leaves them), opened once
    // the event loop runs: a bank file as "Open from Disk..." opens it, an audio file into bank
    // 1 as "Open..." imports it.
    static void openAtStart(VanetoEditorController& controller, const QStringList& arguments);

    // The command line: --rate B (bytes per second, 100 to 3125), --help, --version, the
    // options Qt itself takes (-platform NAME, -style NAME, ...), and at most one file; "--"
    // ends the options. Anything else is refused.
    struct StartOptions {
        double rate = 0.0; // the wire rate when not given
        std::optional<std::string> file;
        bool help = false;
        bool version = false;
        bool restore = false;              // kept work brought back at start
        std::string restoreId;             // which (--restore=ID); empty: the newest
        std::optional<std::string> browse; // the sound browser opened on this folder at start
        std::string error;                 // set when refused
    };
    static StartOptions parse(const std::vector<std::string>& words);
    // The kept work written at quit: the exit status (1, said on standard error, when changes
    // of this run were left unkept).
    static int finish(VanetoEditorController& controller);

    // What --help prints.
    static const char* helpText();

    // Runs the whole program; answers the process exit code. --help and --version print and
    // return without opening a window.
    int run(int& argc, char** argv);
};
