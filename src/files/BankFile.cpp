#include "files/BankFile.h"

#include "midi/FileGate.h"

#include "files/AtomicFile.h"
#include "device/DvBankMessages.h"
#include "device/DvVaneto.h"
#include "midi/LoMidiFileReader.h"
#include "midi/LoMidiFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 0 when the file can be opened for reading, else the reason (a folder counts as unreadable).
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

LoMidiEvent metaEvent(std::initializer_list<std::uint8_t> head, std::string_view text = {}) {
    LoMidiEvent event(0);
    event.bytes.assign(head.begin(), head.end());
    event.bytes.insert(event.bytes.end(), text.begin(), text.end());
    return event;
}

} // namespace

LoMidiEventList BankFile::conductorEvents() {
    return {
        metaEvent({0xFF, 0x51, 0x07, 0xA1, 0x20}),
        metaEvent({0xFF, 0x58, 0x04, 0x02, 0x18, 0x08}),
        metaEvent({0xFF, 0x02}, noticeText),
    };
}

void BankFile::appendBankTrack(LoMidiEventList& list, const DvVaneto& store, int bank) {
    list.push_back(store.metaEvent(0x03, bank));
    list.push_back(store.metaEvent(0x04, bank));
    list.push_back(store.metaEvent(0x7F, bank));
    for (LoMidiEvent& event : store.bankDump(bank, 0)) {
        list.push_back(std::move(event));
    }
}

void BankFile::writeTracks(LoMidiFileWriter& writer, const DvVaneto& store,
                           const std::vector<int>& banks) {
    LoMidiEventList list = conductorEvents();
    if (banks.size() != 1) {
        writer.writeTrack(list, true);
        list.clear();
    }
    for (const int bank : banks) {
        appendBankTrack(list, store, bank);
        writer.writeTrack(list, true);
        list.clear();
    }
}

bool BankFile::save(const std::filesystem::path& path, const DvVaneto& store, int selectedBank,
                    std::string& error) {
    return save(path, store,
                selectedBank >= 0 ? std::vector<int>{selectedBank} : DvVaneto::allBanks(), error);
}

bool BankFile::save(const std::filesystem::path& path, const DvVaneto& store,
                    std::vector<int> banks, std::string& error) {
    std::sort(banks.begin(), banks.end());
    banks.erase(std::unique(banks.begin(), banks.end()), banks.end());
    AtomicFile file(path);
    if (!file.begin(error)) {
        return false;
    }
    {
        errno = 0;
        LoMidiFileWriter writer(file.temporaryPath(), division, tempo);
        writeTracks(writer, store, banks);
        writer.close();
        if (writer.fail()) {
            error = "cannot write " + path.string() + ": " + std::strerror(errno ? errno : EIO);
            return false;
        }
    }
    return file.commit(error);
}

BankFile::ReadResult BankFile::read(const std::filesystem::path& path, std::vector<Track>& tracks,
                                    int& trackCount) {
    tracks.clear();
    trackCount = 0;
    if (std::string reason; !FileGate::mayRead(path, reason)) {
        return ReadResult::cannotOpen;
    }
    LoMidiFileReader reader(path);
    if (!reader.isMidiFile()) {
        return ReadResult::notMidiFile;
    }
    trackCount = reader.trackCount();
    return readTracks(reader, tracks);
}

BankFile::ReadResult BankFile::addTrack(LoMidiEventList&& events, std::vector<Track>& tracks) {
    const int bank = DvBankMessages::identifyBank(events);
    if (bank < -1) {
        return ReadResult::wrongFormat;
    }
    if (bank >= DvVaneto::bankTotal) {
        return ReadResult::badBank;
    }
    if (bank >= 0) {
        tracks.push_back(Track{bank, std::move(events)});
    }
    return ReadResult::ok;
}

BankFile::ReadResult BankFile::readTracks(LoMidiFileReader& reader, std::vector<Track>& tracks) {
    tracks.clear();
    std::vector<Track> found;
    for (;;) {
        LoMidiEventList events;
        reader.readTrack(events);
        if (events.empty()) {
            break;
        }
        const ReadResult added = addTrack(std::move(events), found);
        if (added != ReadResult::ok) {
            return added;
        }
    }
    tracks = std::move(found);
    return ReadResult::ok;
}

BankFile::ReadResult BankFile::readIntact(const std::filesystem::path& path,
                                          std::vector<Track>& tracks, Damage& damage) {
    tracks.clear();
    damage = Damage{};
    if (std::string reason; !FileGate::mayRead(path, reason)) {
        return ReadResult::cannotOpen;
    }
    LoMidiFileReader reader(path);
    if (!reader.isMidiFile()) {
        return ReadResult::notMidiFile;
    }
    damage.trackCount = reader.trackCount();
    for (int read = 0;; ++read) {
        LoMidiEventList events;
        reader.readTrack(events);
        if (events.empty()) {
            // The end, or a track that could not be read at all before the stated count.
            if (!reader.lastTrackWasWhole() && read < damage.trackCount) {
                damage.stoppedAt = read + 1;
            }
            break;
        }
        if (!reader.lastTrackWasWhole()) {
            damage.stoppedAt = read + 1;
            break;
        }
        const ReadResult added = addTrack(std::move(events), tracks);
        if (added != ReadResult::ok) {
            tracks.clear();
            return added;
        }
    }
    return ReadResult::ok;
}

std::string BankFile::describeDamage(const std::filesystem::path& path, const Damage& damage,
                                     const std::vector<Track>& tracks) {
    std::string text = path.string() + " is damaged: reading stopped at track " +
                       std::to_string(damage.stoppedAt) + " of " +
                       std::to_string(damage.trackCount) + "; ";
    if (tracks.empty()) {
        return text + "no bank was read whole";
    }
    text += "banks read whole:";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        text += (i == 0 ? " " : ", ") + std::to_string(tracks[i].bank + 1);
    }
    return text;
}

BankFile::ReadResult BankFile::load(const std::filesystem::path& path, DvVaneto& store,
                                    std::vector<int>& loadedBanks) {
    loadedBanks.clear();
    std::vector<Track> tracks;
    int trackCount = 0;
    const ReadResult result = read(path, tracks, trackCount);
    if (result != ReadResult::ok) {
        return result;
    }
    for (const Track& track : tracks) {
        store.loadBank(track.events, track.bank);
        loadedBanks.push_back(track.bank);
    }
    return ReadResult::ok;
}

std::string BankFile::describe(ReadResult result, const std::filesystem::path& path) {
    const std::string name = path.string();
    switch (result) {
    case ReadResult::ok:
        return {};
    case ReadResult::cannotOpen: {
        std::string reason;
        FileGate::mayRead(path, reason);
        return "cannot open " + name + ": " + (reason.empty() ? std::strerror(EIO) : reason);
    }
    case ReadResult::notMidiFile:
        return name + " is not a MIDI file";
    // On one line: the box's line breaks become spaces.
    case ReadResult::wrongFormat:
        return name + ": " + wrongFormatCaption + ": " + oneLine(wrongFormatText);
    case ReadResult::badBank:
        return name + ": " + wrongFormatCaption + ": " + oneLine(wrongFormatText) +
               " (a track names a bank beyond the seventh)";
    }
    return {};
}
