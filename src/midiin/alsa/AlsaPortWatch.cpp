#include "midiin/alsa/AlsaPortWatch.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>

namespace {

// Events read at one call at most: the rest wait for the next (the descriptor stays readable).
constexpr int eventsPerCall = 4096;

} // namespace

AlsaPortWatch::AlsaPortWatch(const std::string& clientName) {
    snd_seq_t* seq = openSequencerClient(SND_SEQ_OPEN_INPUT, clientName, ownClient_, error_);
    if (seq == nullptr) {
        return;
    }
    seq_ = seq;
    const int port = snd_seq_create_simple_port(seq, "port watch",
                                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    const int error = port < 0 ? port
                               : snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM,
                                                      SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    pollfd poll{};
    if (error >= 0 && snd_seq_poll_descriptors(seq, &poll, 1, POLLIN) == 1) {
        descriptor_ = poll.fd;
    } else {
        error_ = std::string("cannot listen to the sequencer's announcements: ") +
                 snd_strerror(error < 0 ? error : -EIO);
        return;
    }
    known_ = list();
}

AlsaPortWatch::~AlsaPortWatch() {
    if (seq_ != nullptr) {
        snd_seq_close(seq_);
    }
}

std::vector<AlsaPortAddress> AlsaPortWatch::list() {
    return listSequencerPorts(seq_, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                              ownClient_, false);
}

std::vector<PortWatch::Change> AlsaPortWatch::changes() {
    if (descriptor_ < 0) {
        return {};
    }
    // The announcements only say that something changed: the list says what.
    bool news = false;
    snd_seq_event_t* event = nullptr;
    for (int n = 0; n < eventsPerCall && snd_seq_event_input(seq_, &event) >= 0; ++n) {
        news = true;
    }
    if (!news) {
        return {};
    }
    const std::vector<AlsaPortAddress> now = list();
    const auto same = [](const AlsaPortAddress& a, const AlsaPortAddress& b) {
        return a.client == b.client && a.port == b.port && a.name == b.name;
    };
    const auto among = [&same](const std::vector<AlsaPortAddress>& ports,
                               const AlsaPortAddress& port) {
        return std::any_of(ports.begin(), ports.end(),
                           [&](const AlsaPortAddress& p) { return same(p, port); });
    };
    std::vector<Change> changes;
    for (const AlsaPortAddress& port : known_) {
        if (!among(now, port)) {
            changes.push_back({false, {port.client, port.port, port.name}});
        }
    }
    for (const AlsaPortAddress& port : now) {
        if (!among(known_, port)) {
            changes.push_back({true, {port.client, port.port, port.name}});
        }
    }
    known_ = now;
    return changes;
}

std::vector<PortWatch::Port> AlsaPortWatch::ports() const {
    std::vector<Port> ports;
    for (const AlsaPortAddress& port : known_) {
        ports.push_back({port.client, port.port, port.name});
    }
    return ports;
}
