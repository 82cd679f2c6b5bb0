#pragma once

#include "midi/LoMidiEvent.h"
#include "midiin/SysexAssembler.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class DvVaneto;

// The receiving end of bank dumps: recognises announce and data messages among the System
// Exclusive messages that arrive, checks each data message, and loads the banks that came whole
// into a bank store (content only; names and layout stay as the store has them).
//
// A data message is taken without an announce (a receiver started late), its bank from its
// bank byte. It is whole when it is 262150 bytes long, ends with F7 and no pair of 7-bit bytes
// starts above 1; otherwise it is damaged and loads nothing. Banks above the seventh and
// foreign messages are counted and passed over. An announce that names another bank than its
// data message is told, not refused.
class BankDumpReceiver {
public:
    static constexpr std::size_t dataMessageLength = 5 + 4 * 65536 + 1;

    struct Bank {
        int bank = -1;      // 0 ... 6
        int announced = -1; // the bank its announce named, -1 without one
        bool whole = false;
        bool ended = false;      // came with its F7
        bool overrun = false;    // our own input overran while it came
        std::size_t length = 0;  // bytes received
        std::size_t values = 0;  // whole values received
        std::size_t badPair = 0; // offset of the first pair that starts above 1; 0 for none
        double seconds = 0.0;    // from its first byte to its last
    };

    // What arrives now: the message in progress.
    struct Progress {
        bool receiving = false;
        bool bankMessage = false; // a data message of this synthesizer (known from byte 4 on)
        int bank = -1;            // its bank once known
        std::size_t bytes = 0;
        double seconds = 0.0;
    };

    // The store must outlive the receiver.
    explicit BankDumpReceiver(DvVaneto& store);

    void feed(std::span<const std::uint8_t> bytes, std::int64_t microseconds);
    // Our own input lost events: the message in progress (or the next) is marked.
    void overrun();
    // The reception ends: a message in progress is taken as cut short.
    void end();

    const std::vector<Bank>& banks() const { return banks_; }
    // The banks that came whole and were loaded, each once, in the order they first came.
    std::vector<int> wholeBanks() const;
    std::size_t foreignMessages() const { return foreign_; }
    std::size_t otherBankMessages() const { return otherBanks_; }
    std::size_t overruns() const { return overruns_; }
    Progress progress(std::int64_t nowMicroseconds) const;
    // Lines worth telling as they happen (a mismatched announce, an announce without data);
    // each is handed out once.
    std::vector<std::string> takeNotes();

    // "bank 3: whole, 65536 values, 262150 bytes in 83.9 s (3124 bytes/s)" and the like.
    static std::string describe(const Bank& bank);

private:
    void take(SysexAssembler::Message&& message);
    // A data message: what the assembler knows of it, and its bytes.
    void takeData(const SysexAssembler::Message& message, LoMidiEvent&& event);

    DvVaneto& store_;
    SysexAssembler assembler_;
    std::vector<SysexAssembler::Message> done_;
    std::vector<Bank> banks_;
    std::vector<std::string> notes_;
    int announced_ = -1;
    bool overrunPending_ = false;
    std::size_t foreign_ = 0;
    std::size_t otherBanks_ = 0;
    std::size_t overruns_ = 0;
};
