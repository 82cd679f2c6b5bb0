#pragma once

#include "midi/LoMidiEvent.h"

#include <cstdint>

// A synthesizer whose banks travel as MIDI events: name meta events and a bank dump of System
// Exclusive messages one way, a list of events recognised and loaded back the other way.
// The interface holds no data. It has no virtual destructor: an owner destroys the device
// through its own type, so the destructor is protected here.
class DvMidiDevice {
public:
    // The name meta event of the given kind for a bank, delay 0:
    //   0x03  FF 03 <bank name>
    //   0x04  FF 04 <instrument name>
    //   0x7F  FF 7F 31 00 66 00 <sample name 00> for every slot of the bank
    // Any other kind, or a bank outside the device, gives an event without bytes.
    virtual LoMidiEvent metaEvent(std::uint8_t kind, int bank) const = 0;

    // The bank as [announce message (delay 0), data message (delay 6000 ms)] for the given
    // MIDI channel (only its low four bits are used). A bank outside the device gives an empty
    // list.
    virtual LoMidiEventList bankDump(int bank, int channel) const = 0;

    // The bank index named by the data message of a track (0 ... 63, which may lie beyond the
    // device's banks), or -1 when the list holds no System Exclusive message, -2 when the first
    // one is not an announce message, -3 when the message after it is not a data message.
    virtual int identifyBank(const LoMidiEventList& events) const = 0;

    // Loads the names and the data message of a track into the given bank. False, with nothing
    // changed, when the list is not a bank of this device (identifyBank below -1) or the target
    // bank lies outside the device. A list without System Exclusive messages changes nothing
    // and answers true.
    virtual bool loadBank(const LoMidiEventList& events, int bank) = 0;

protected:
    DvMidiDevice() = default;
    DvMidiDevice(const DvMidiDevice&) = default;
    DvMidiDevice& operator=(const DvMidiDevice&) = default;
    ~DvMidiDevice() = default;
};
