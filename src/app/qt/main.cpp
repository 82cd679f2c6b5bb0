#include "app/qt/VanetoEditorApp.h"

int main(int argc, char** argv) {
    VanetoEditorApp app;
    return app.run(argc, argv);
}
