#pragma once

#include "browse/SoundFolder.h"
#include "browse/SoundInfoReader.h"

#include <QWidget>

#include <filesystem>
#include <memory>
#include <vector>

class BrowserCommands;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The sound browser, a window beside the editor: a folder's subfolders and sound files with
// their format, channels, rate and length (read in the background, the visible rows first), a
// path line of the folder's parents, a filter, and an audition of each file the user moves to
// as the selected bank would hold it. Return or a double click takes the file into the bank,
// Backspace goes up a folder, Space stops and plays again, Esc closes the window. Files can also
// be dragged onto the editor's bank list. Nothing about it is kept between runs.
class SoundBrowser final : public QWidget {
public:
    SoundBrowser(BrowserCommands& commands, QWidget* editor);
    ~SoundBrowser() override;

    void openFolder(const std::filesystem::path& folder);
    const std::filesystem::path& folder() const { return folder_; }
    QTreeWidget* list() const { return list_; }

    // Where the browser opens without a folder named: the folder of a file named at start,
    // else the music folder, else home.
    static std::filesystem::path startFolder(const std::string& fileAtStart);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A file's details, when they belong to the folder shown.
    void showInfo(int generation, std::size_t row, const SoundInfoReader::Info& info);
    void showPath();
    void applyFilter();
    void preferVisible();
    // The user moved to an entry: heard, when the audition is on and it is a file.
    void movedTo(QTreeWidgetItem* item);
    void take(QTreeWidgetItem* item);
    void say(const QString& text);

    BrowserCommands& commands_;
    QHBoxLayout* path_;
    QLineEdit* filter_;
    QCheckBox* hear_;
    QTreeWidget* list_;
    QLabel* line_;
    std::filesystem::path folder_;
    std::vector<SoundFolder::Entry> entries_;
    int generation_ = 0;
    bool filtering_ = false; // the selection moves because of the filter, not the user
    std::unique_ptr<SoundInfoReader> reader_;
};
