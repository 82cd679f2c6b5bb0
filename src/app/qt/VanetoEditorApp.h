#pragma once

// The application object of the vaneto-editor program: sets up Qt and the MIDI output, runs the
// editor dialog modally and ends the program when it closes. No settings are stored.
class VanetoEditorApp {
public:
    static constexpr const char* settingsKey = "Local AppWizard-Generated Applications";

    // Runs the whole program; answers the process exit code.
    int run(int& argc, char** argv);
};
