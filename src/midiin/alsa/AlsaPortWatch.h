#pragma once

#include "midiin/PortWatch.h"
#include "midiout/alsa/AlsaSequencerPorts.h"

struct _snd_seq;

// The ALSA sequencer's port watch: a client with a hidden input port subscribed to the system's
// announce port (0:1); every announcement read compares the ports one can send to with those
// seen before.
class AlsaPortWatch final : public PortWatch {
public:
    explicit AlsaPortWatch(const std::string& clientName = "vaneto");
    ~AlsaPortWatch() override;
    AlsaPortWatch(const AlsaPortWatch&) = delete;
    AlsaPortWatch& operator=(const AlsaPortWatch&) = delete;

    std::string error() const override { return error_; }
    int descriptor() const override { return descriptor_; }
    std::vector<Change> changes() override;
    std::vector<Port> ports() const override;

private:
    std::vector<AlsaPortAddress> list();

    _snd_seq* seq_ = nullptr;
    int ownClient_ = -1;
    int descriptor_ = -1;
    std::string error_;
    std::vector<AlsaPortAddress> known_;
};
