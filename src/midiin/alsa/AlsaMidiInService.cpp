#include "midiin/alsa/AlsaMidiInService.h"

#include "midiout/Clock.h"
#include "midiout/alsa/AlsaSequencerPorts.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace {

// How often the reading thread looks at its stop flag when nothing arrives.
constexpr int pollMilliseconds = 200;
// Bytes libasound reads from the kernel at once.
constexpr std::size_t readBufferBytes = 64 * 1024;

std::string describe(const std::string& what, int error) {
    return what + ": " + snd_strerror(error);
}

std::string portLabel(int client, int port, const std::string& name) {
    return "\"" + name + "\" (" + std::to_string(client) + ":" + std::to_string(port) + ")";
}

} // namespace

AlsaMidiInService::AlsaMidiInService(Clock& clock, std::string clientName) : clock_(clock) {
    snd_seq_t* seq = openSequencerClient(SND_SEQ_OPEN_INPUT, clientName, ownClient_, lastError_);
    if (seq == nullptr) {
        return;
    }
    // A bigger pool is welcome, not required: a kernel that refuses it keeps its default.
    if (snd_seq_set_client_pool_input(seq, inputPool) < 0) {
        snd_seq_set_client_pool_input(seq, inputPool / 2);
    }
    snd_seq_set_input_buffer_size(seq, readBufferBytes);
    seq_ = seq;
}

AlsaMidiInService::~AlsaMidiInService() {
    close();
    if (seq_ != nullptr) {
        snd_seq_close(seq_);
    }
}

bool AlsaMidiInService::fail(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_ = text;
    return false;
}

std::string AlsaMidiInService::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

std::vector<AlsaMidiInService::PortAddress> AlsaMidiInService::listPorts() {
    std::lock_guard<std::mutex> lock(mutex_);
    // Not this program's MIDI output either: receiving from it makes no sense.
    return listSequencerPorts(seq_, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ, ownClient_,
                              true);
}

unsigned AlsaMidiInService::portCount() {
    ports_ = listPorts();
    return static_cast<unsigned>(ports_.size());
}

std::string AlsaMidiInService::portName(unsigned port) {
    if (ports_.empty()) {
        portCount();
    }
    return port < ports_.size() ? ports_[port].name : std::string();
}

bool AlsaMidiInService::open(unsigned port, MidiInListener& listener) {
    if (ports_.empty()) {
        portCount();
    }
    if (port >= ports_.size()) {
        return fail(seq_ == nullptr ? lastError()
                                    : "there is no MIDI input port number " + std::to_string(port));
    }
    const PortAddress source = ports_[port];
    return start("Input", false, &source, listener);
}

bool AlsaMidiInService::openVirtual(const std::string& name, MidiInListener& listener) {
    return start(name, true, nullptr, listener);
}

bool AlsaMidiInService::start(const std::string& portName, bool offered, const PortAddress* source,
                              MidiInListener& listener) {
    if (seq_ == nullptr) {
        return false; // lastError() tells why
    }
    if (thread_.joinable()) {
        return fail("already receiving");
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Offered to others: listed as a port they can send to. Otherwise hidden from lists.
        const unsigned caps = SND_SEQ_PORT_CAP_WRITE |
                              (offered ? SND_SEQ_PORT_CAP_SUBS_WRITE : SND_SEQ_PORT_CAP_NO_EXPORT);
        if (ownPort_ < 0) {
            const int port = snd_seq_create_simple_port(seq_, portName.c_str(), caps,
                                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC |
                                                            SND_SEQ_PORT_TYPE_APPLICATION);
            if (port < 0) {
                lastError_ = describe("cannot create the input port", port);
                return false;
            }
            ownPort_ = port;
        }
        // The system announces clients and ports that come and go.
        snd_seq_connect_from(seq_, ownPort_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        source_ = PortAddress{};
        if (source != nullptr) {
            const int error = snd_seq_connect_from(seq_, ownPort_, source->client, source->port);
            if (error < 0 && error != -EBUSY) {
                lastError_ = describe("cannot listen to " +
                                          portLabel(source->client, source->port, source->name),
                                      error);
                return false;
            }
            source_ = *source;
        }
    }
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        return fail("cannot start the reading thread");
    }
    listener_ = &listener;
    stopping_.store(false);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& error) {
        ::close(wake_[0]);
        ::close(wake_[1]);
        wake_[0] = wake_[1] = -1;
        listener_ = nullptr;
        return fail(std::string("cannot start the reading thread: ") + error.what());
    }
    return true;
}

void AlsaMidiInService::close() {
    if (!thread_.joinable()) {
        return;
    }
    stopping_.store(true);
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &wake, 1);
    thread_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    listener_ = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (source_.client >= 0) {
        snd_seq_disconnect_from(seq_, ownPort_, source_.client, source_.port);
    }
    snd_seq_disconnect_from(seq_, ownPort_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    snd_seq_delete_simple_port(seq_, ownPort_);
    ownPort_ = -1;
}

bool AlsaMidiInService::drain(void* decoder) {
    auto* midi = static_cast<snd_midi_event_t*>(decoder);
    std::lock_guard<std::mutex> lock(mutex_);
    for (;;) {
        snd_seq_event_t* ev = nullptr;
        const int result = snd_seq_event_input(seq_, &ev);
        if (result == -ENOSPC) {
            listener_->overrun();
            continue;
        }
        if (result < 0 || ev == nullptr) {
            return true; // -EAGAIN: nothing more for now
        }
        const std::int64_t now = clock_.microseconds();
        if (ev->source.client == SND_SEQ_CLIENT_SYSTEM) {
            const bool clientGone =
                ev->type == SND_SEQ_EVENT_CLIENT_EXIT && ev->data.addr.client == source_.client;
            const bool portGone = ev->type == SND_SEQ_EVENT_PORT_EXIT &&
                                  ev->data.addr.client == source_.client &&
                                  ev->data.addr.port == source_.port;
            if (source_.client >= 0 && (clientGone || portGone)) {
                listener_->sourceGone(portLabel(source_.client, source_.port, source_.name) +
                                      " went away (unplugged?)");
                return false;
            }
            continue;
        }
        if (ev->type == SND_SEQ_EVENT_SYSEX) {
            listener_->received(
                {static_cast<const std::uint8_t*>(ev->data.ext.ptr), ev->data.ext.len}, now);
            continue;
        }
        unsigned char bytes[16];
        const long length = snd_midi_event_decode(midi, bytes, sizeof bytes, ev);
        if (length > 0) {
            listener_->received({bytes, static_cast<std::size_t>(length)}, now);
        }
    }
}

void AlsaMidiInService::run() {
    snd_midi_event_t* decoder = nullptr;
    if (snd_midi_event_new(16, &decoder) >= 0) {
        snd_midi_event_no_status(decoder, 1);
    }
    std::vector<pollfd> fds;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
        fds.resize(static_cast<std::size_t>(std::max(count, 0)) + 1);
        snd_seq_poll_descriptors(seq_, fds.data() + 1, static_cast<unsigned>(count), POLLIN);
    }
    fds[0] = pollfd{wake_[0], POLLIN, 0};
    while (!stopping_.load() && decoder != nullptr) {
        if (::poll(fds.data(), fds.size(), pollMilliseconds) < 0 && errno != EINTR) {
            break;
        }
        if (stopping_.load() || !drain(decoder)) {
            break;
        }
    }
    snd_midi_event_free(decoder);
}
