#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Reassembles System Exclusive messages from MIDI bytes that arrive in pieces of any size.
// A message runs from F0 to F7. Real-time bytes (F8 ... FF) may come inside it and are passed
// over, as a MIDI receiver does; any other status byte ends it without its F7 (cut short), and
// an F0 starts the next one at once. Bytes outside a message (other MIDI messages) are ignored.
//
// Memory stays bounded: a message keeps at most keepAtMost bytes and only counts the rest.
class SysexAssembler {
public:
    struct Message {
        std::vector<std::uint8_t> bytes; // as received from F0 on, up to keepAtMost bytes
        std::size_t length = 0;          // bytes received, F0 and F7 included
        bool ended = false;              // closed by its F7 (else cut short)
        std::int64_t firstMicroseconds = 0;
        std::int64_t lastMicroseconds = 0;
    };

    explicit SysexAssembler(std::size_t keepAtMost);

    // Takes the next bytes; appends each message they complete to done.
    void feed(std::span<const std::uint8_t> bytes, std::int64_t microseconds,
              std::vector<Message>& done);
    // Ends a message in progress as cut short (the reception ends, the port went away).
    void flush(std::vector<Message>& done);

    bool inMessage() const { return inMessage_; }
    // The message in progress so far (empty when none).
    const Message& pending() const { return pending_; }

private:
    void finish(bool ended, std::vector<Message>& done);

    std::size_t keepAtMost_;
    bool inMessage_ = false;
    Message pending_;
};
