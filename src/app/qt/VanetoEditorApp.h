#pragma once

#include <QStringList>

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

    // The pace of --rate B (bytes per second, 100 to 3125), the wire rate without it; false,
    // after a message on the standard error stream, for a value out of range.
    static bool parseRate(int argc, char** argv, double& rate);

    // What --help prints.
    static const char* helpText();

    // Runs the whole program; answers the process exit code. --help and --version print and
    // return without opening a window.
    int run(int& argc, char** argv);
};
