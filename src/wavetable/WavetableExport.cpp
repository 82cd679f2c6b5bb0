#include "wavetable/WavetableExport.h"

#include "audio/WaveFileWriter.h"
#include "wavetable/PeriodicResampler.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace WavetableExport {

namespace {

WaveFileWriter::Chunk chunk(const char (&id)[5], std::vector<std::uint8_t> bytes) {
    WaveFileWriter::Chunk result;
    std::memcpy(result.id.data(), id, 4);
    result.bytes = std::move(bytes);
    return result;
}

std::vector<std::uint8_t> le32Pair(std::uint32_t a, std::uint32_t b) {
    std::vector<std::uint8_t> bytes(8);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(a >> (8 * i));
        bytes[4 + i] = static_cast<std::uint8_t>(b >> (8 * i));
    }
    return bytes;
}

} // namespace

namespace {

bool finish(WaveFileWriter& writer, bool written, std::string& error) {
    errno = 0;
    writer.close();
    if (written && !writer.fail()) {
        return true;
    }
    error = std::strerror(errno != 0 ? errno : EIO);
    return false;
}

} // namespace

bool write(const std::filesystem::path& path, std::span<const std::int16_t> values,
           std::size_t frameSize, std::string& error) {
    const std::size_t waves = values.size() / waveLength;
    std::vector<WaveFileWriter::Chunk> chunks;
    if (waves > 1) {
        chunks.push_back(chunk("srge", le32Pair(1, static_cast<std::uint32_t>(frameSize))));
        if (frameSize == 2048) {
            const std::string text = "<!>2048 00000000 wavetable";
            chunks.push_back(chunk("clm ", std::vector<std::uint8_t>(text.begin(), text.end())));
        }
    }
    WaveFileWriter writer(path);
    if (frameSize == waveLength) {
        const bool written =
            writer.writeMono16(values.data(), waves * waveLength, sampleRate, chunks);
        return finish(writer, written, error);
    }
    PeriodicResampler resampler(waveLength, frameSize);
    std::vector<double> wave(waveLength);
    std::vector<double> resampled(frameSize);
    std::vector<float> out(waves * frameSize);
    for (std::size_t w = 0; w < waves; ++w) {
        for (std::size_t i = 0; i < waveLength; ++i) {
            wave[i] = values[w * waveLength + i];
        }
        resampler.resample(wave, resampled);
        for (std::size_t i = 0; i < frameSize; ++i) {
            out[w * frameSize + i] = static_cast<float>(resampled[i] / 32768.0);
        }
    }
    const bool written = writer.writeMonoFloat32(out, sampleRate, chunks);
    return finish(writer, written, error);
}

} // namespace WavetableExport
