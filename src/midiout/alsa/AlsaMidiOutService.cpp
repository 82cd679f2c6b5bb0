#include "midiout/alsa/AlsaMidiOutService.h"

#include "midiout/Clock.h"
#include "midiout/alsa/AlsaSequencerPorts.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

// How long a receiver that takes no events is given before a send counts as failed.
constexpr std::int64_t fullReceiverPatience = 2'000'000; // microseconds
// Longest single sleep while waiting for a chunk's time, so that close is not kept waiting.
constexpr std::int64_t longestSleep = 10'000; // microseconds

std::string describe(const std::string& what, int error) {
    return what + ": " + snd_strerror(error);
}

std::string portLabel(int client, int port, const std::string& name) {
    return "\"" + name + "\" (" + std::to_string(client) + ":" + std::to_string(port) + ")";
}

} // namespace

AlsaMidiOutService::AlsaMidiOutService(Clock& clock) : AlsaMidiOutService(clock, Options{}) {}

AlsaMidiOutService::AlsaMidiOutService(Clock& clock, Options options)
    : clock_(clock), options_(std::move(options)),
      pacer_(options_.bytesPerSecond, options_.chunkSize, options_.backlog) {
    snd_seq_t* seq =
        openSequencerClient(SND_SEQ_OPEN_OUTPUT, options_.clientName, ownClient_, lastError_);
    if (seq == nullptr) {
        return;
    }
    const int error = snd_seq_create_simple_port(
        seq, "Output", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    ownPort_ = error;
    if (error < 0) {
        lastError_ = describe("cannot create the ALSA sequencer client", error);
        snd_seq_close(seq);
        return;
    }
    seq_ = seq;
    thread_ = std::thread([this] { run(); });
}

AlsaMidiOutService::~AlsaMidiOutService() {
    std::vector<MidiOutHandle> handles;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : open_) {
            handles.push_back(entry.first);
        }
    }
    for (const MidiOutHandle handle : handles) {
        close(handle);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (auto& job : jobs_) {
            job->cancelled.store(true);
        }
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    if (seq_ != nullptr) {
        snd_seq_close(seq_);
    }
}

MidiOutResult AlsaMidiOutService::fail(MidiOutResult result, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_ = text;
    return result;
}

std::string AlsaMidiOutService::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

std::vector<AlsaMidiOutService::PortAddress> AlsaMidiOutService::listPorts() {
    std::lock_guard<std::mutex> lock(seqMutex_);
    return listSequencerPorts(seq_, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                              ownClient_, false);
}

unsigned AlsaMidiOutService::portCount() {
    std::vector<PortAddress> ports = listPorts();
    std::lock_guard<std::mutex> lock(mutex_);
    ports_ = std::move(ports);
    portsListed_ = true;
    return static_cast<unsigned>(ports_.size());
}

std::string AlsaMidiOutService::portName(unsigned port) {
    bool listed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listed = portsListed_;
    }
    if (!listed) {
        portCount();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return port < ports_.size() ? ports_[port].name : std::string();
}

MidiOutResult AlsaMidiOutService::open(MidiOutHandle& handle, unsigned port,
                                       MidiOutCallback callback) {
    handle = noMidiOutHandle;
    if (seq_ == nullptr) {
        return MidiOutResult::badPort; // lastError() already tells why
    }
    bool listed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listed = portsListed_;
    }
    if (!listed) {
        portCount();
    }
    PortAddress destination;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (port >= ports_.size()) {
            lastError_ = "there is no MIDI output port number " + std::to_string(port);
            return MidiOutResult::badPort;
        }
        destination = ports_[port];
    }
    int error = 0;
    {
        std::lock_guard<std::mutex> lock(seqMutex_);
        error = snd_seq_connect_to(seq_, ownPort_, destination.client, destination.port);
    }
    // EBUSY: our port is connected to it already (another handle on the same port).
    if (error < 0 && error != -EBUSY) {
        return fail(MidiOutResult::badPort,
                    describe("cannot connect to " +
                                 portLabel(destination.client, destination.port, destination.name),
                             error));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handle = nextHandle_++;
        open_[handle] = OpenPort{destination, callback};
    }
    if (callback) {
        std::lock_guard<std::mutex> lock(callbackMutex_);
        callback(handle, midiOutOpened, 0, 0);
    }
    return MidiOutResult::ok;
}

bool AlsaMidiOutService::output(void* event, const PortAddress& destination) {
    auto* ev = static_cast<snd_seq_event_t*>(event);
    snd_seq_ev_set_source(ev, ownPort_);
    snd_seq_ev_set_dest(ev, destination.client, destination.port);
    snd_seq_ev_set_direct(ev);
    const std::int64_t deadline = clock_.microseconds() + fullReceiverPatience;
    for (;;) {
        int result = 0;
        {
            std::lock_guard<std::mutex> lock(seqMutex_);
            result = snd_seq_event_output_direct(seq_, ev);
        }
        if (result >= 0) {
            return true;
        }
        if (result == -EAGAIN && clock_.microseconds() < deadline) {
            clock_.sleep(1);
            continue;
        }
        fail(MidiOutResult::error,
             describe("cannot send to " +
                          portLabel(destination.client, destination.port, destination.name),
                      result));
        return false;
    }
}

MidiOutResult AlsaMidiOutService::shortMessage(MidiOutHandle handle, std::uint32_t packed) {
    PortAddress destination;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) {
            lastError_ = "the MIDI output port is not open";
            return MidiOutResult::invalidHandle;
        }
        destination = found->second.destination;
    }
    const auto status = static_cast<std::uint8_t>(packed & 0xFF);
    const auto data1 = static_cast<unsigned>((packed >> 8) & 0x7F);
    const auto data2 = static_cast<unsigned>((packed >> 16) & 0x7F);
    const int channel = status & 0x0F;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    switch (status & 0xF0) {
    case 0x80:
        snd_seq_ev_set_noteoff(&ev, channel, data1, data2);
        break;
    case 0x90:
        snd_seq_ev_set_noteon(&ev, channel, data1, data2);
        break;
    case 0xA0:
        snd_seq_ev_set_keypress(&ev, channel, data1, data2);
        break;
    case 0xB0:
        snd_seq_ev_set_controller(&ev, channel, data1, data2);
        break;
    case 0xC0:
        snd_seq_ev_set_pgmchange(&ev, channel, data1);
        break;
    case 0xD0:
        snd_seq_ev_set_chanpress(&ev, channel, data1);
        break;
    case 0xE0:
        snd_seq_ev_set_pitchbend(&ev, channel, static_cast<int>((data2 << 7) | data1) - 8192);
        break;
    default:
        return fail(MidiOutResult::error, "not a channel message: status " +
                                              std::to_string(static_cast<unsigned>(status)));
    }
    return output(&ev, destination) ? MidiOutResult::ok : MidiOutResult::error;
}

MidiOutResult AlsaMidiOutService::prepare(MidiOutHandle handle, MidiOutHeader& header) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_.find(handle) == open_.end()) {
        lastError_ = "the MIDI output port is not open";
        return MidiOutResult::invalidHandle;
    }
    if (header.data == nullptr && header.length > 0) {
        lastError_ = "a long message without data";
        return MidiOutResult::error;
    }
    header.flags |= midiOutHeaderPrepared;
    return MidiOutResult::ok;
}

MidiOutResult AlsaMidiOutService::longMessage(MidiOutHandle handle, MidiOutHeader& header) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) {
            lastError_ = "the MIDI output port is not open";
            return MidiOutResult::invalidHandle;
        }
        if ((header.flags & midiOutHeaderPrepared) == 0) {
            lastError_ = "a long message that was not prepared";
            return MidiOutResult::unprepared;
        }
        for (const auto& job : jobs_) {
            if (job->header == &header) {
                lastError_ = "a long message that is still being sent";
                return MidiOutResult::stillPlaying;
            }
        }
        auto job = std::make_shared<Job>();
        job->handle = handle;
        job->header = &header;
        job->data = header.data;
        job->length = header.length;
        job->destination = found->second.destination;
        jobs_.push_back(std::move(job));
        header.flags |= midiOutHeaderQueued;
    }
    wake_.notify_all();
    return MidiOutResult::ok;
}

MidiOutResult AlsaMidiOutService::unprepare(MidiOutHandle handle, MidiOutHeader& header) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_.find(handle) == open_.end()) {
        lastError_ = "the MIDI output port is not open";
        return MidiOutResult::invalidHandle;
    }
    MidiOutResult result = MidiOutResult::ok;
    for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
        if ((*it)->header != &header || (*it)->handle != handle) {
            continue;
        }
        if (!(*it)->finished) {
            return MidiOutResult::stillPlaying;
        }
        if ((*it)->failed) {
            result = MidiOutResult::error; // lastError_ was set when it failed
        }
        header.bytesSent = static_cast<std::uint32_t>((*it)->sent);
        jobs_.erase(it);
        break;
    }
    header.flags &= ~(midiOutHeaderPrepared | midiOutHeaderQueued);
    return result;
}

void AlsaMidiOutService::stopJobs(MidiOutHandle handle, std::unique_lock<std::mutex>& lock) {
    for (auto& job : jobs_) {
        if (job->handle != handle) {
            continue;
        }
        job->stopping.store(true);
        if (!job->started) {
            // Never taken by the thread: nothing of it went out.
            job->started = true;
            job->finished = true;
        }
    }
    wake_.notify_all();
    // The thread ends the message it is sending for us with F7 and waits out its wire time.
    wake_.wait(lock, [&] {
        return std::none_of(jobs_.begin(), jobs_.end(), [&](const auto& job) {
            return job->handle == handle && job->started && !job->finished;
        });
    });
}

MidiOutResult AlsaMidiOutService::reset(MidiOutHandle handle) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (open_.find(handle) == open_.end()) {
        lastError_ = "the MIDI output port is not open";
        return MidiOutResult::invalidHandle;
    }
    stopJobs(handle, lock);
    return MidiOutResult::ok;
}

MidiOutResult AlsaMidiOutService::close(MidiOutHandle handle) {
    PortAddress destination;
    MidiOutCallback callback;
    bool shared = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) {
            lastError_ = "the MIDI output port is not open";
            return MidiOutResult::invalidHandle;
        }
        destination = found->second.destination;
        callback = std::move(found->second.callback);
        open_.erase(found);
        stopJobs(handle, lock);
        jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(),
                                   [&](const auto& job) { return job->handle == handle; }),
                    jobs_.end());
        for (const auto& entry : open_) {
            shared = shared || (entry.second.destination.client == destination.client &&
                                entry.second.destination.port == destination.port);
        }
    }
    int error = 0;
    {
        std::lock_guard<std::mutex> lock(seqMutex_);
        error = snd_seq_drain_output(seq_);
        if (!shared) {
            const int disconnected =
                snd_seq_disconnect_to(seq_, ownPort_, destination.client, destination.port);
            error = error < 0 ? error : disconnected;
        }
    }
    MidiOutResult result = MidiOutResult::ok;
    if (error < 0) {
        result =
            fail(MidiOutResult::error,
                 describe("cannot disconnect from " +
                              portLabel(destination.client, destination.port, destination.name),
                          error));
    }
    // Also waits for a notification the thread may be delivering for this handle.
    std::lock_guard<std::mutex> lock(callbackMutex_);
    if (callback) {
        callback(handle, midiOutClosed, 0, 0);
    }
    return result;
}

bool AlsaMidiOutService::waitUntil(std::int64_t microseconds, const Job& job, bool stoppable) {
    for (;;) {
        if (job.cancelled.load() || (stoppable && job.stopping.load())) {
            return false;
        }
        const std::int64_t now = clock_.microseconds();
        if (now >= microseconds) {
            return true;
        }
        const std::int64_t step = std::min(microseconds - now, longestSleep);
        clock_.sleep(static_cast<std::uint32_t>((step + 999) / 1000));
    }
}

bool AlsaMidiOutService::play(Job& job) {
    const std::int64_t start = clock_.microseconds();
    for (const SysexPacer::Chunk& chunk : pacer_.schedule(job.length)) {
        if (!waitUntil(start + chunk.dueMicroseconds, job, true)) {
            break;
        }
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(chunk.length),
                             const_cast<std::uint8_t*>(job.data + chunk.offset));
        if (!output(&ev, job.destination)) {
            return false;
        }
        job.sent += chunk.length;
    }
    if (job.cancelled.load()) {
        return false;
    }
    std::size_t handedOver = job.sent;
    if (job.sent > 0 && job.sent < job.length && job.data[job.sent - 1] != 0xF7) {
        // Stopped inside the message: end it, so that the receiver does not wait for the rest.
        static std::uint8_t endOfExclusive = 0xF7;
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_sysex(&ev, 1, &endOfExclusive);
        if (!output(&ev, job.destination)) {
            return false;
        }
        ++handedOver;
    }
    // The message is on its way until the wire has taken its last byte.
    const std::int64_t wireEnd = std::max(start + pacer_.wireMicroseconds(handedOver),
                                          clock_.microseconds() + pacer_.wireMicroseconds(1));
    return waitUntil(wireEnd, job, false);
}

void AlsaMidiOutService::run() {
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            const auto next = [&] {
                return std::find_if(jobs_.begin(), jobs_.end(),
                                    [](const auto& j) { return !j->started && !j->cancelled; });
            };
            wake_.wait(lock, [&] { return stopping_ || next() != jobs_.end(); });
            if (stopping_) {
                return;
            }
            job = *next();
            job->started = true;
        }
        const bool sent = play(*job);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job->finished = true;
            job->failed = !sent;
        }
        wake_.notify_all();
        if (job->cancelled.load()) {
            continue;
        }
        std::lock_guard<std::mutex> notifying(callbackMutex_);
        MidiOutCallback callback;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto found = open_.find(job->handle);
            if (found == open_.end()) {
                continue;
            }
            callback = found->second.callback;
        }
        if (callback) {
            callback(job->handle, midiOutDone, reinterpret_cast<std::uintptr_t>(job->header),
                     sent ? 0 : midiOutDoneFailed);
        }
    }
}

bool installAlsaMidiOutService(const std::string& clientName, double bytesPerSecond) {
    AlsaMidiOutService::Options options;
    options.clientName = clientName;
    options.bytesPerSecond = bytesPerSecond;
    auto service = std::make_shared<AlsaMidiOutService>(realClock(), std::move(options));
    const bool available = service->isAvailable();
    setDefaultMidiOutService(std::move(service));
    return available;
}
