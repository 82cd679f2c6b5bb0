#pragma once

#include "midiout/SysexPacer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class BankDocument;
class Clock;
class EditorView;
class MidiOutService;
class TransferEngine;

// Sending banks to the synthesizer from the editor: the port list, Send, Stop and the send
// worker. The click records what the worker needs (the selected bank, the channel, the port and
// its name); the "selected bank" option is an atomic that the dialog sets at each toggle, read
// by the worker once the port is open; bank names come from the store under its lock; progress
// is posted to the view. The worker never reads the view and never waits for the GUI thread.
class TransferController {
public:
    // The view, the document and the clock must outlive it.
    TransferController(EditorView& view, BankDocument& document,
                       std::shared_ptr<MidiOutService> service, Clock& clock);
    ~TransferController();
    TransferController(const TransferController&) = delete;
    TransferController& operator=(const TransferController&) = delete;

    void setBytesPerSecond(double bytesPerSecond) { bytesPerSecond_ = bytesPerSecond; }
    // Fills the port list as the service has it now.
    void refreshPortList();
    std::uint16_t portCount() const { return deviceCount_; }

    // The selected-bank option as the user sets it (also while a transfer runs).
    void setSelectedBankOnly(bool only) { selectedBankOnly_.store(only); }
    // Send to Vaneto for the selected bank (-1: none).
    void send(int selectedBank);
    // Ends a running transfer; does nothing while none runs.
    void stop();

private:
    void sendWorker(int selectedBank, int channel, std::uint16_t port, std::string portName);

    EditorView& view_;
    BankDocument& document_;
    std::shared_ptr<MidiOutService> service_;
    Clock& clock_;
    double bytesPerSecond_ = SysexPacer::wireBytesPerSecond;
    std::uint16_t deviceCount_ = 0;
    // Port names as listed at start, for the worker's messages.
    std::vector<std::string> portNames_;
    std::atomic<bool> selectedBankOnly_{true};
    // The running transfer's engine, made on the GUI thread by Send, kept until the next Send
    // or the end.
    std::unique_ptr<TransferEngine> engine_;
    std::thread worker_;
};
