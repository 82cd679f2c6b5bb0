#include "midiin/BankDumpReceiver.h"

#include "device/DvBankMessages.h"
#include "device/DvVaneto.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

std::string bankNumber(int bank) {
    return "bank " + std::to_string(bank + 1);
}

bool ours(const LoMidiEvent& event) {
    return event.size() > 1 && event[1] == DvBankMessages::manufacturer;
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

BankDumpReceiver::BankDumpReceiver(DvVaneto& store)
    : store_(store), assembler_(dataMessageLength + 1) {}

void BankDumpReceiver::feed(std::span<const std::uint8_t> bytes, std::int64_t microseconds) {
    assembler_.feed(bytes, microseconds, done_);
    for (SysexAssembler::Message& message : done_) {
        take(std::move(message));
    }
    done_.clear();
}

void BankDumpReceiver::overrun() {
    ++overruns_;
    overrunPending_ = true;
}

void BankDumpReceiver::end() {
    assembler_.flush(done_);
    for (SysexAssembler::Message& message : done_) {
        take(std::move(message));
    }
    done_.clear();
    if (announced_ >= 0) {
        notes_.push_back("the announce of " + bankNumber(announced_) +
                         " came without its data message");
        announced_ = -1;
    }
}

void BankDumpReceiver::take(SysexAssembler::Message&& message) {
    LoMidiEvent event(0);
    event.bytes = std::move(message.bytes);
    if (ours(event) && DvBankMessages::isAnnounce(event)) {
        if (announced_ >= 0) {
            notes_.push_back("the announce of " + bankNumber(announced_) +
                             " came without its data message");
        }
        announced_ = event.size() > 4 ? event[4] & 0x3F : -1;
        return;
    }
    if (!ours(event) || !DvBankMessages::isDataMessage(event)) {
        ++foreign_;
        return;
    }
    takeData(message, std::move(event));
}

void BankDumpReceiver::takeData(const SysexAssembler::Message& message, LoMidiEvent&& event) {
    const LoBuffer::Bytes& bytes = event.bytes;
    const int bank = bytes[2] & 0x3F;
    const int announced = std::exchange(announced_, -1);
    if (bank >= DvVaneto::bankTotal) {
        ++otherBanks_;
        return;
    }
    Bank result;
    result.bank = bank;
    result.announced = announced;
    result.ended = message.ended;
    result.overrun = std::exchange(overrunPending_, false);
    result.length = message.length;
    result.seconds =
        static_cast<double>(message.lastMicroseconds - message.firstMicroseconds) / 1e6;
    const std::size_t dataEnd = bytes.size() - (message.ended ? 1 : 0);
    result.values = dataEnd > DvBankMessages::dataHeaderLength
                        ? (dataEnd - DvBankMessages::dataHeaderLength) / 4
                        : 0;
    for (std::size_t at = DvBankMessages::dataHeaderLength; at < dataEnd; at += 2) {
        if (bytes[at] > 1) {
            result.badPair = at;
            break;
        }
    }
    result.whole = message.ended && message.length == dataMessageLength && result.badPair == 0 &&
                   !result.overrun;
    if (announced >= 0 && announced != bank) {
        notes_.push_back("the announce named " + bankNumber(announced) +
                         ", the data message that followed it " + bankNumber(bank));
    }
    if (result.whole) {
        LoMidiEventList list = {DvBankMessages::announce(bank)};
        list.push_back(std::move(event));
        result.whole = store_.loadBank(list, bank);
    }
    banks_.push_back(result);
}

std::vector<int> BankDumpReceiver::wholeBanks() const {
    std::vector<int> whole;
    for (const Bank& bank : banks_) {
        if (bank.whole && std::find(whole.begin(), whole.end(), bank.bank) == whole.end()) {
            whole.push_back(bank.bank);
        }
    }
    return whole;
}

BankDumpReceiver::Progress BankDumpReceiver::progress(std::int64_t nowMicroseconds) const {
    Progress now;
    if (!assembler_.inMessage()) {
        return now;
    }
    const SysexAssembler::Message& pending = assembler_.pending();
    now.receiving = true;
    now.bytes = pending.length;
    now.seconds = static_cast<double>(nowMicroseconds - pending.firstMicroseconds) / 1e6;
    if (pending.bytes.size() > 4) {
        LoMidiEvent head(pending.bytes.begin(), pending.bytes.begin() + 5, 0);
        now.bankMessage = ours(head) && DvBankMessages::isDataMessage(head);
        now.bank = now.bankMessage ? head[2] & 0x3F : -1;
    }
    return now;
}

std::vector<std::string> BankDumpReceiver::takeNotes() {
    return std::exchange(notes_, {});
}

std::string BankDumpReceiver::describe(const Bank& bank) {
    std::string text = bankNumber(bank.bank) + ": ";
    const std::string timing = bank.seconds > 0
                                   ? " in " + fixed(bank.seconds, 1) + " s (" +
                                         fixed(static_cast<double>(bank.length) / bank.seconds, 0) +
                                         " bytes/s)"
                                   : "";
    if (bank.whole) {
        return text + "whole, " + std::to_string(bank.values) + " values, " +
               std::to_string(bank.length) + " bytes" + timing;
    }
    text += "damaged, " + std::to_string(bank.length) + " of " + std::to_string(dataMessageLength) +
            " bytes" + timing + ", ";
    if (bank.length < dataMessageLength) {
        text += std::to_string(dataMessageLength - bank.length) + " bytes lost";
    } else if (bank.length > dataMessageLength) {
        text += std::to_string(bank.length - dataMessageLength) + " bytes too many";
    } else {
        text += "no byte missing";
    }
    text += ", " + std::to_string(bank.values) + " values";
    if (!bank.ended) {
        text += "; cut short before its end (F7)";
    }
    if (bank.badPair != 0) {
        text += "; the data goes wrong at byte " + std::to_string(bank.badPair) +
                " (a byte lost or changed there)";
    }
    if (bank.overrun) {
        text += "; our own input overran while it came: bytes were lost in this computer, not "
                "on the cable";
    }
    return text + "; not written";
}
