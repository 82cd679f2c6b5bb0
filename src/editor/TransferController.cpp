#include "editor/TransferController.h"

#include "document/BankDocument.h"
#include "files/EditorTexts.h"
#include "editor/EditorView.h"
#include "transfer/TransferEngine.h"
#include "transfer/TransferObserver.h"
#include "files/Utf8Text.h"
#include "device/DvVaneto.h"
#include "midiout/MidiOutPortList.h"
#include "midiout/MidiOutService.h"

#include <system_error>

namespace {

// Port names are shown with at most this many bytes.
constexpr std::size_t portNameLimit = 31;

constexpr const char* allBanksQuestion =
    "The sending of all banks take over 10 Minutes.\nDo you want to really transmit?";
using EditorTexts::appTitle;
using EditorTexts::quoted;

// Cuts a name to at most limit bytes without splitting a UTF-8 sequence.
std::string cutName(std::string name, std::size_t limit) {
    if (name.size() <= limit) {
        return name;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
        --end;
    }
    name.resize(end);
    return name;
}

// A transfer as the dialog shows it: the status line, and the progress bar with the Stop button
// beside it, counting whole seconds against the bank's estimate. Every change of the view is
// posted to its thread.
class DialogProgress final : public TransferObserver {
public:
    explicit DialogProgress(EditorView& view) : view_(view) {}

    void status(const std::string& text) override {
        view_.post([&view = view_, text] { view.setText(EditorView::StatusLine, text); });
    }
    void showProgress(bool shown) override {
        view_.post([&view = view_, shown] {
            if (shown) {
                view.setProgressPosition(EditorView::ProgressBar, 0);
                view.showControl(EditorView::ProgressBar, true);
                view.showControl(EditorView::StopButton, true);
            } else {
                view.showControl(EditorView::StopButton, false);
                view.showControl(EditorView::ProgressBar, false);
            }
        });
    }
    void progress(int, std::int64_t elapsedSeconds, double estimateSeconds) override {
        // The range is set once a bank's playing has begun.
        const bool range = estimateSeconds > 0 && estimateSeconds != estimate_;
        estimate_ = estimateSeconds;
        view_.post([&view = view_, range, estimateSeconds, elapsedSeconds] {
            if (range) {
                view.setProgressRange(
                    EditorView::ProgressBar, 0,
                    static_cast<std::uint16_t>(static_cast<std::int64_t>(estimateSeconds)));
            }
            view.setProgressPosition(EditorView::ProgressBar,
                                     static_cast<std::int16_t>(elapsedSeconds));
        });
    }

private:
    EditorView& view_;
    double estimate_ = 0.0;
};

} // namespace

TransferController::TransferController(EditorView& view, BankDocument& document,
                                       std::shared_ptr<MidiOutService> service, Clock& clock)
    : view_(view), document_(document), service_(std::move(service)), clock_(clock) {
    if (!service_) {
        service_ = defaultMidiOutService();
    }
}

TransferController::~TransferController() {
    // A transfer still running (the program is ending) is stopped first; the worker never
    // waits for the GUI thread, so it ends within moments.
    if (engine_) {
        engine_->stop();
    }
    if (worker_.joinable()) {
        worker_.join();
    }
}

void TransferController::refreshPortList() {
    const int selection = view_.listSelection(EditorView::PortList);
    const unsigned count = service_->portCount();
    deviceCount_ = static_cast<std::uint16_t>(count > 0xFFFF ? 0xFFFF : count);
    portNames_.clear();
    view_.clearList(EditorView::PortList);
    if (deviceCount_ != 0) {
        for (std::uint16_t port = 0; port < deviceCount_; ++port) {
            portNames_.push_back(displayName(cutName(service_->portName(port), portNameLimit)));
            view_.appendToList(EditorView::PortList, portNames_.back());
        }
    } else {
        view_.appendToList(EditorView::PortList, noPortText);
    }
    view_.setListSelection(EditorView::PortList, selection);
}

void TransferController::send(int selectedBank) {
    if (deviceCount_ == 0 || !document_.allows(BankDocument::Command::send)) {
        document_.refuse(BankDocument::Command::send);
        return;
    }
    selectedBankOnly_.store(view_.isChecked(EditorView::SelectedBankOption));
    if (!selectedBankOnly_.load()) {
        const int answer =
            view_.messageBox(allBanksQuestion, "Send All Banks", EditorView::Buttons::OkCancel,
                             EditorView::Icon::Information);
        if (answer != EditorView::IdOk) {
            return;
        }
    }
    // What the worker needs, taken at the click.
    int channel = view_.listSelection(EditorView::ChannelList);
    if (channel < 0 || channel > 15) {
        channel = 0;
    }
    const int portSelection = view_.listSelection(EditorView::PortList);
    const auto port = static_cast<std::uint16_t>(portSelection < 0 ? 0 : portSelection);
    std::string portName = port < portNames_.size() ? portNames_[port] : std::to_string(port + 1);
    if (!document_.beginTransfer()) {
        return;
    }
    // The previous worker ended the transfer as its last step; all that is left is its return.
    if (worker_.joinable()) {
        worker_.join();
    }
    engine_ = std::make_unique<TransferEngine>(document_.banks(), service_, clock_);
    try {
        worker_ = std::thread(&TransferController::sendWorker, this, selectedBank, channel, port,
                              std::move(portName));
    } catch (const std::system_error& error) {
        document_.endTransfer();
        view_.messageBox(std::string("The transfer could not be started:\n") + error.what(),
                         appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
    }
}

void TransferController::stop() {
    if (document_.transferring() && engine_) {
        engine_->stop();
    }
}

void TransferController::sendWorker(int selectedBank, int channel, std::uint16_t port,
                                    std::string portName) {
    TransferEngine::Request request;
    request.port = port;
    request.portName = portName;
    request.channel = channel;
    request.bytesPerSecond = bytesPerSecond_;
    // The option is read once the port has been opened.
    request.banks = [this, selectedBank] {
        if (!selectedBankOnly_.load()) {
            return DvVaneto::allBanks();
        }
        return selectedBank >= 0 ? std::vector<int>{selectedBank} : std::vector<int>{};
    };
    DialogProgress progress(view_);
    const TransferEngine::Result result = engine_->run(request, progress);

    // The user hears of a failure once the port and the events are released; the box opens on
    // the GUI thread, which the worker does not wait for.
    if (result == TransferEngine::Result::failed) {
        const TransferEngine::Failure why = engine_->failure();
        std::string failure;
        if (why.portNotOpened) {
            failure = "The MIDI port " + quoted(portName) + " could not be opened.\n" + why.reason;
        } else {
            failure = "Bank " + std::to_string(why.bank + 1) + " could not be sent to " +
                      quoted(portName) + " (" + std::to_string(why.bytesSent) + " of " +
                      std::to_string(why.bytesTotal) + " bytes sent).\n" + why.reason;
        }
        view_.post([&view = view_, failure] {
            view.messageBox(failure, appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
        });
    }
    document_.endTransfer();
}
