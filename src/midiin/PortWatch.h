#pragma once

#include <string>
#include <vector>

// The ports one can send MIDI to, watched as the machine's sequencer announces clients and ports
// that come and go. The news waits behind a descriptor, so that a caller sleeps in poll() until
// there is some. No call throws or blocks.
class PortWatch {
public:
    struct Port {
        int client = -1;
        int port = -1;
        std::string name;
        bool operator==(const Port&) const = default;
    };
    struct Change {
        bool appeared = false; // or left
        Port port;
    };

    virtual ~PortWatch() = default;
    // Empty while the watch works, else why it does not.
    virtual std::string error() const = 0;
    // Readable (POLLIN) when news may have come; -1 when the watch does not work.
    virtual int descriptor() const = 0;
    // What changed since the last call: ports that left, then ports that appeared (a port that
    // changed its name does both).
    virtual std::vector<Change> changes() = 0;
    // The ports as last seen: at first the baseline that changes() compares with.
    virtual std::vector<Port> ports() const = 0;
};
