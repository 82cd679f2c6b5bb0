#include "browse/SoundInfoReader.h"

#include "browse/SoundFolder.h"
#include "audio/AudioFileSource.h"
#include "audio/LoAudioFileReader.h"
#include "audio/LoSndfileDecoder.h"

#include <system_error>

SoundInfoReader::SoundInfoReader(Done done) : done_(std::move(done)) {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // Without a thread the rows stay without their details.
    }
}

SoundInfoReader::~SoundInfoReader() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

int SoundInfoReader::setFolder(std::vector<std::filesystem::path> files) {
    int generation = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        files_ = std::move(files);
        asked_.assign(files_.size(), false);
        queue_.clear();
        for (std::size_t row = 0; row < files_.size(); ++row) {
            if (!files_[row].empty()) {
                queue_.push_back(row);
            }
        }
        generation = ++generation_;
    }
    wake_.notify_one();
    return generation;
}

void SoundInfoReader::prefer(const std::vector<std::size_t>& rows) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            if (*it < files_.size() && !asked_[*it] && !files_[*it].empty()) {
                queue_.push_front(*it);
            }
        }
    }
    wake_.notify_one();
}

SoundInfoReader::Info SoundInfoReader::read(const std::filesystem::path& path) {
    Info info;
    if (SoundFolder::isBankFile(path.filename().string())) {
        info.format = "bank file";
        return info;
    }
    AudioFileSource source(path);
    switch (source.kind()) {
    case AudioFileSource::Kind::unopened:
        info.error = source.why();
        return info;
    case AudioFileSource::Kind::raw:
        info.error = "no audio the editor knows";
        return info;
    case AudioFileSource::Kind::compressed:
        info.format = source.decoder()->formatName();
        break;
    case AudioFileSource::Kind::aiff:
        info.format = "AIFF";
        break;
    case AudioFileSource::Kind::wave:
        info.format = "WAV";
        break;
    }
    if (!source.soundLike(info.error)) {
        return info;
    }
    info.channels = source.format().getChannels();
    info.rate = source.format().getSampleRate();
    info.seconds = info.rate > 0 ? static_cast<double>(source.frames()) / info.rate : 0.0;
    return info;
}

void SoundInfoReader::run() {
    for (;;) {
        std::filesystem::path path;
        std::size_t row = 0;
        int generation = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            row = queue_.front();
            queue_.pop_front();
            if (asked_[row]) {
                continue;
            }
            asked_[row] = true;
            path = files_[row];
            generation = generation_;
        }
        done_(generation, row, read(path));
    }
}
