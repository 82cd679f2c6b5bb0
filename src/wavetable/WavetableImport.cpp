#include "wavetable/WavetableImport.h"

#include "device/DvVaneto.h"
#include "wavetable/PeriodicResampler.h"
#include "wavetable/WaveOperations.h"
#include "wavetable/WaveQuantizer.h"
#include "wavetable/WavetableSource.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace {

using Result = WavetableImport::Result;
constexpr std::size_t waveLength = WavetableImport::waveLength;

Result failed(std::string error) {
    Result result;
    result.error = std::move(error);
    return result;
}

// Appends the frames, each resampled to one wave.
void appendWaves(std::span<const double> frames, std::size_t frameSize,
                 std::vector<double>& waves) {
    if (frameSize == 0) {
        return;
    }
    PeriodicResampler resampler(frameSize, waveLength);
    const std::size_t count = frames.size() / frameSize;
    const std::size_t start = waves.size();
    waves.resize(start + count * waveLength);
    for (std::size_t k = 0; k < count; ++k) {
        resampler.resample(frames.subspan(k * frameSize, frameSize),
                           std::span<double>(waves).subspan(start + k * waveLength, waveLength));
    }
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

bool WavetableImport::naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            // Compare the runs as numbers: without leading zeros, the longer is larger.
            std::size_t ia = i;
            std::size_t jb = j;
            while (ia < a.size() && a[ia] == '0') {
                ++ia;
            }
            while (jb < b.size() && b[jb] == '0') {
                ++jb;
            }
            std::size_t ea = ia;
            std::size_t eb = jb;
            while (ea < a.size() && std::isdigit(static_cast<unsigned char>(a[ea]))) {
                ++ea;
            }
            while (eb < b.size() && std::isdigit(static_cast<unsigned char>(b[eb]))) {
                ++eb;
            }
            if (ea - ia != eb - jb) {
                return ea - ia < eb - jb;
            }
            const int order = a.compare(ia, ea - ia, b, jb, eb - jb);
            if (order != 0) {
                return order < 0;
            }
            i = ea;
            j = eb;
        } else {
            if (ca != cb) {
                return ca < cb;
            }
            ++i;
            ++j;
        }
    }
    if ((a.size() - i) != (b.size() - j)) {
        return a.size() - i < b.size() - j;
    }
    return a < b;
}

Result WavetableImport::importCycle(const std::filesystem::path& path, DvVaneto& store, int bank,
                                    int slot, bool fit) {
    WavetableSource source;
    std::string error;
    if (!source.open(path, error)) {
        return failed(error);
    }
    const std::uint64_t n = source.frameCount();
    if (n < 2 || n > WavetableSource::longestCycle) {
        return failed(path.string() + " holds " + plural(n, "frame", "frames") +
                      (n < 2 ? ": a cycle needs at least 2"
                             : ": too long for one cycle (at most " +
                                   std::to_string(WavetableSource::longestCycle) + ")"));
    }
    std::vector<double> frames;
    if (!source.readFrames(0, static_cast<std::size_t>(n), frames, error)) {
        return failed(error);
    }
    if (frames.size() < 2) {
        return failed(path.string() + ": its frames cannot be read");
    }
    std::vector<double> wave;
    appendWaves(frames, frames.size(), wave);
    Options options;
    options.firstSlot = slot;
    options.fit = fit;
    Result result = place(std::move(wave), {path.filename().string()}, store, bank, options);
    result.notes.insert(result.notes.begin(), "one cycle of " + std::to_string(frames.size()) +
                                                  " values (" + source.describe() + ")");
    return result;
}

Result WavetableImport::importTable(const std::filesystem::path& path, DvVaneto& store, int bank,
                                    const Options& options) {
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        return importFolder(path, store, bank, options);
    }
    WavetableSource source;
    std::string error;
    if (!source.open(path, error)) {
        return failed(error);
    }
    const WavetableSource::Split split = source.split(options.frameSize);
    if (split.frameSize == 0) {
        Result result = failed(split.error);
        result.remedy = split.unstated ? Result::Remedy::statedFrameSize : Result::Remedy::none;
        return result;
    }
    const std::size_t frameCount = static_cast<std::size_t>(source.frameCount() / split.frameSize);
    if (frameCount < 2) {
        Result result =
            failed(path.string() + " holds one frame of " + std::to_string(split.frameSize));
        result.remedy = Result::Remedy::oneCycle;
        return result;
    }
    if (split.frameSize < 2) {
        return failed("a frame needs at least 2 values");
    }
    const std::size_t room = static_cast<std::size_t>(slotCount - options.firstSlot);
    const std::size_t taken = std::min(frameCount, room);
    // A batch of frames at a time, so that long frames never take much memory at once.
    const std::size_t batch = std::max<std::size_t>(1, (std::size_t{1} << 20) / split.frameSize);
    std::vector<double> frames;
    std::vector<double> waves;
    for (std::size_t k = 0; k < taken; k += batch) {
        const std::size_t count = std::min(batch, taken - k);
        if (!source.readFrames(k * split.frameSize, count * split.frameSize, frames, error)) {
            return failed(error);
        }
        appendWaves(frames, split.frameSize, waves);
    }
    std::vector<std::string> names;
    const std::string file = path.filename().string();
    for (std::size_t k = 0; k < taken; ++k) {
        names.push_back(file + " " + std::to_string(k + 1));
    }
    Result result = place(std::move(waves), names, store, bank, options);
    result.framesLeftOut = frameCount - taken;
    std::vector<std::string> head = {source.describe()};
    if (!split.note.empty()) {
        head.push_back(split.note);
    }
    if (result.framesLeftOut != 0) {
        head.push_back(plural(result.framesLeftOut, "frame", "frames") +
                       " left out: no slots after slot 256");
    }
    result.notes.insert(result.notes.begin(), head.begin(), head.end());
    return result;
}

Result WavetableImport::importFolder(const std::filesystem::path& path, DvVaneto& store, int bank,
                                     const Options& options) {
    std::error_code code;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(path, code), end; !code && it != end;
         it.increment(code)) {
        if (it->is_regular_file(code)) {
            files.push_back(it->path());
        }
    }
    if (code) {
        return failed("cannot read the folder " + path.string() + ": " + code.message());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return naturalLess(a.filename().string(), b.filename().string());
    });
    const std::size_t room = static_cast<std::size_t>(slotCount - options.firstSlot);
    std::vector<double> waves;
    std::vector<std::string> names;
    std::vector<std::string> skipped;
    std::size_t leftOut = 0;
    for (const std::filesystem::path& file : files) {
        WavetableSource source;
        std::string error;
        if (!source.open(file, error)) {
            skipped.push_back(error);
            continue;
        }
        const std::uint64_t n = source.frameCount();
        if (n < 2 || n > WavetableSource::longestCycle) {
            skipped.push_back(file.string() + ": " + plural(n, "frame", "frames") + " is no cycle");
            continue;
        }
        if (names.size() == room) {
            ++leftOut;
            continue;
        }
        std::vector<double> frames;
        if (!source.readFrames(0, static_cast<std::size_t>(n), frames, error)) {
            skipped.push_back(file.string() + ": " + error);
            continue;
        }
        if (frames.size() < 2) {
            // A compressed stream whose header promised more than it decodes to.
            skipped.push_back(file.string() + ": decodes to " +
                              plural(frames.size(), "frame", "frames") + ", no cycle");
            continue;
        }
        appendWaves(frames, frames.size(), waves);
        names.push_back(file.filename().string());
    }
    if (names.empty()) {
        Result result = failed(path.string() + " holds no audio files to take as cycles");
        result.skipped = std::move(skipped);
        return result;
    }
    Result result = place(std::move(waves), names, store, bank, options);
    result.skipped = std::move(skipped);
    result.framesLeftOut = leftOut;
    std::vector<std::string> head = {plural(names.size(), "cycle", "cycles") + " from the folder " +
                                     path.string()};
    if (leftOut != 0) {
        head.push_back(plural(leftOut, "file", "files") + " left out: no slots after slot 256");
    }
    result.notes.insert(result.notes.begin(), head.begin(), head.end());
    return result;
}

Result WavetableImport::place(std::vector<double> waves, const std::vector<std::string>& names,
                              DvVaneto& store, int bank, const Options& options) {
    const int first = options.firstSlot;
    if (bank < 0 || bank >= store.bankCount() || first < 0 || first >= slotCount) {
        return failed("no such bank or slot");
    }
    const std::size_t room = static_cast<std::size_t>(slotCount - first);
    const std::size_t count = std::min(waves.size() / waveLength, room);
    if (count == 0) {
        return failed("nothing to import");
    }
    Result result;
    // Where each wave goes: one after the other, or spread to reach the last slot.
    const bool spread = options.spread && count >= 2;
    std::vector<int> positions(count);
    for (std::size_t k = 0; k < count; ++k) {
        positions[k] = spread ? first + static_cast<int>(std::lround(
                                            static_cast<double>(k) * static_cast<double>(room - 1) /
                                            static_cast<double>(count - 1)))
                              : first + static_cast<int>(k);
    }
    const int last = positions.back();
    std::vector<double> slots(static_cast<std::size_t>(last - first + 1) * waveLength);
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t at = static_cast<std::size_t>(positions[k] - first) * waveLength;
        std::copy_n(waves.begin() + static_cast<std::ptrdiff_t>(k * waveLength), waveLength,
                    slots.begin() + static_cast<std::ptrdiff_t>(at));
    }
    // The slots between two waves: a linear crossfade from one to the next.
    for (std::size_t k = 0; k + 1 < count; ++k) {
        const auto from = static_cast<std::size_t>(positions[k] - first) * waveLength;
        const auto to = static_cast<std::size_t>(positions[k + 1] - first) * waveLength;
        WaveOperations::crossfade(std::span<double>(slots).subspan(from, to - from + waveLength),
                                  waveLength);
    }
    WaveQuantizer quantizer;
    if (options.fit) {
        quantizer.gain = WaveQuantizer::fitGain(slots);
    }
    std::vector<std::int16_t> values(slots.size());
    quantizer.apply(slots, values);
    store.writeValues(bank, static_cast<std::size_t>(first) * waveLength, values);
    store.setSingleSample(bank, false);
    for (std::size_t k = 0; k < count; ++k) {
        const std::string& name = k < names.size() ? names[k] : names.back();
        store.setSampleName(name, bank, positions[k]);
        if (k + 1 < count) {
            const std::string& next = k + 1 < names.size() ? names[k + 1] : names.back();
            for (int s = positions[k] + 1; s < positions[k + 1]; ++s) {
                store.setSampleName(name + " > " + next, bank, s);
            }
        }
    }
    result.ok = true;
    result.firstSlot = first;
    result.lastSlot = last;
    result.frames = count;
    result.clamped = quantizer.clamped;
    result.gain = quantizer.gain;
    char line[160];
    std::snprintf(line, sizeof line, "%s into slot%s %d%s%s",
                  plural(count, "wave", "waves").c_str(), last > first ? "s" : "", first + 1,
                  last > first ? ("-" + std::to_string(last + 1)).c_str() : "",
                  spread ? ", spread, the slots between crossfaded" : "");
    result.notes.emplace_back(line);
    if (options.fit) {
        std::snprintf(line, sizeof line, "gain %.2f dB (x %.6f) so that nothing clamps",
                      20.0 * std::log10(result.gain), result.gain);
        result.notes.emplace_back(line);
    } else if (result.clamped != 0) {
        result.notes.push_back(plural(result.clamped, "value", "values") +
                               " past full scale clamped");
    }
    return result;
}
