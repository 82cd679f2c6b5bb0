#pragma once

#include <functional>
#include <string>

// What the sound browser asks of the editor.
class BrowserCommands {
public:
    virtual ~BrowserCommands() = default;
    // Hear a file as the selected bank would hold it.
    virtual void audition(const std::string& path) = 0;
    // Space: stop what plays, or play the last file again.
    virtual void toggleAudition() = 0;
    // Take a file into the selected bank (or from the selected slot) as Open... does; a bank
    // file opens as Open from Disk... does. Nothing during a transfer.
    virtual void take(const std::string& path) = 0;
    // Where the audition says what it plays or why it plays nothing.
    virtual void setBrowserLine(std::function<void(const std::string&)> say) = 0;
};
