#include "files/MemoryReuse.h"
#include "editor/qt/VanetoEditorApp.h"

int main(int argc, char** argv) {
    keepFreedMemoryForReuse();
    VanetoEditorApp app;
    return app.run(argc, argv);
}
