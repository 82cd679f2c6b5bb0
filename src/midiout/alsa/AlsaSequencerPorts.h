#pragma once

#include <string>
#include <vector>

struct _snd_seq;

// A port of the ALSA sequencer: its address and its name without the trailing spaces some
// kernel drivers pad it with.
struct AlsaPortAddress {
    int client = -1;
    int port = -1;
    std::string name;
};

// The ports whose capabilities hold every bit of `wanted` and that do not ask to be hidden, in
// client and port order, except those of the system client, of ownClient and, with
// skipOwnProcess, of every other client of this process. The caller serialises calls on seq.
// A non-blocking client of the ALSA sequencer named clientName, for input or output (streams:
// SND_SEQ_OPEN_INPUT or SND_SEQ_OPEN_OUTPUT), and its client number; null with why ("no ALSA
// sequencer on this machine (/dev/snd/seq)", "cannot open the ALSA sequencer: ...", "cannot
// create the ALSA sequencer client: ...") when there is none.
_snd_seq* openSequencerClient(int streams, const std::string& clientName, int& ownClient,
                              std::string& error);

std::vector<AlsaPortAddress> listSequencerPorts(_snd_seq* seq, unsigned wanted, int ownClient,
                                                bool skipOwnProcess);
