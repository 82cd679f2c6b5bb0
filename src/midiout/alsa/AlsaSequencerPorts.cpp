#include "midiout/alsa/AlsaSequencerPorts.h"

#include <alsa/asoundlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// Bounds on the enumeration (the sequencer has at most 192 clients of 256 ports each).
constexpr int maxEnumerationSteps = 192 * 256;
constexpr const char* sequencerDevice = "/dev/snd/seq";

} // namespace

_snd_seq* openSequencerClient(int streams, const std::string& clientName, int& ownClient,
                              std::string& error) {
    // Without the device libasound would print its own complaint first.
    struct stat status {};
    if (::stat(sequencerDevice, &status) != 0) {
        error = std::string("no ALSA sequencer on this machine (") + sequencerDevice + ")";
        return nullptr;
    }
    snd_seq_t* seq = nullptr;
    int code = snd_seq_open(&seq, "default", streams, SND_SEQ_NONBLOCK);
    if (code < 0) {
        error = std::string("cannot open the ALSA sequencer: ") + snd_strerror(code);
        return nullptr;
    }
    code = snd_seq_set_client_name(seq, clientName.c_str());
    if (code >= 0) {
        code = snd_seq_client_id(seq);
    }
    if (code < 0) {
        error = std::string("cannot create the ALSA sequencer client: ") + snd_strerror(code);
        snd_seq_close(seq);
        return nullptr;
    }
    ownClient = code;
    return seq;
}

std::vector<AlsaPortAddress> listSequencerPorts(_snd_seq* seq, unsigned wanted, int ownClient,
                                                bool skipOwnProcess) {
    std::vector<AlsaPortAddress> ports;
    if (seq == nullptr) {
        return ports;
    }
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    if (snd_seq_client_info_malloc(&client) < 0 || snd_seq_port_info_malloc(&port) < 0) {
        snd_seq_client_info_free(client);
        return ports;
    }
    int steps = 0;
    snd_seq_client_info_set_client(client, -1);
    while (steps++ < maxEnumerationSteps && snd_seq_query_next_client(seq, client) >= 0) {
        const int clientId = snd_seq_client_info_get_client(client);
        if (clientId == SND_SEQ_CLIENT_SYSTEM || clientId == ownClient ||
            (skipOwnProcess && snd_seq_client_info_get_pid(client) == ::getpid())) {
            continue;
        }
        snd_seq_port_info_set_client(port, clientId);
        snd_seq_port_info_set_port(port, -1);
        while (steps++ < maxEnumerationSteps && snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) {
                continue;
            }
            const char* name = snd_seq_port_info_get_name(port);
            std::string text = name != nullptr ? name : "";
            text.erase(text.find_last_not_of(' ') + 1);
            ports.push_back(AlsaPortAddress{clientId, snd_seq_port_info_get_port(port), text});
        }
    }
    snd_seq_port_info_free(port);
    snd_seq_client_info_free(client);
    // The sequencer answers in client and port order already; make sure of it.
    std::stable_sort(ports.begin(), ports.end(),
                     [](const AlsaPortAddress& a, const AlsaPortAddress& b) {
                         return a.client != b.client ? a.client < b.client : a.port < b.port;
                     });
    return ports;
}
