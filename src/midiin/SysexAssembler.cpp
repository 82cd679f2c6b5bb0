#include "midiin/SysexAssembler.h"

#include <utility>

SysexAssembler::SysexAssembler(std::size_t keepAtMost) : keepAtMost_(keepAtMost) {}

void SysexAssembler::finish(bool ended, std::vector<Message>& done) {
    pending_.ended = ended;
    done.push_back(std::move(pending_));
    pending_ = Message{};
    inMessage_ = false;
}

void SysexAssembler::feed(std::span<const std::uint8_t> bytes, std::int64_t microseconds,
                          std::vector<Message>& done) {
    for (const std::uint8_t byte : bytes) {
        if (byte >= 0xF8) {
            continue; // real time: may come anywhere
        }
        if (byte == 0xF0) {
            if (inMessage_) {
                finish(false, done);
            }
            inMessage_ = true;
            pending_.firstMicroseconds = microseconds;
        } else if (!inMessage_) {
            continue;
        } else if (byte & 0x80 && byte != 0xF7) {
            finish(false, done); // another message begins: this one lost its end
            continue;
        }
        ++pending_.length;
        pending_.lastMicroseconds = microseconds;
        if (pending_.bytes.size() < keepAtMost_) {
            pending_.bytes.push_back(byte);
        }
        if (byte == 0xF7) {
            finish(true, done);
        }
    }
}

void SysexAssembler::flush(std::vector<Message>& done) {
    if (inMessage_) {
        finish(false, done);
    }
}
