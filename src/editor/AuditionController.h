#pragma once

#include "editor/NewestWins.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class EditorView;
class PreviewController;

// The sound browser's audition: a file heard as the selected bank would hold it, decoded off
// the GUI thread, the newest request winning.
//   one-sample bank  exactly the values an import would put into the bank
//   wave bank        a file of at most 4096 frames as one cycle, a wavetable file's first
//                    frame, each as a tone at the preview's note; any other recording as its
//                    first 1.486 s, as a one-sample import, and said so
//   bank file        nothing heard; its banks' names said
// Playing only reads: it works during a transfer.
class AuditionController {
public:
    struct Request {
        std::string path;
        int bank = 0;
        bool waveLayout = false;
    };
    struct Sound {
        bool tone = false;
        std::vector<std::int16_t> values; // a bank's values, or one wave of 256
        std::string line;                 // what the browser's line says
    };

    // say: the browser's line. Results are played on the view's thread.
    AuditionController(EditorView& view, PreviewController& preview,
                       std::function<void(const std::string&)> say);
    ~AuditionController();

    void audition(const Request& request);
    // Space: stops what plays, or plays the last sound again.
    void toggle();

    // The sound of a request, on any thread.
    static Sound prepare(const Request& request);

private:
    void play();

    EditorView& view_;
    PreviewController& preview_;
    std::function<void(const std::string&)> say_;
    Sound last_;
    int asked_ = 0;
    // Last, so that it is joined before the rest goes.
    std::unique_ptr<NewestWins<Request, Sound>> worker_;
};
