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
std::vector<AlsaPortAddress> listSequencerPorts(_snd_seq* seq, unsigned wanted, int ownClient,
                                                bool skipOwnProcess);
