#pragma once

#include "device/DvVaneto.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// Waves as WAV files that wavetable synths read: at 256 values a frame, mono 16-bit 44100 Hz
// with a "srge" chunk (version 1, frame size); at any other size each wave resampled
// periodically to it and written as 32-bit float (a band-limited wave may pass full scale
// between its values, which 16 bits would clip), with the "srge" chunk and, at 2048, a "clm "
// chunk "<!>2048 ...". One wave alone is written without chunks: a single cycle.
namespace WavetableExport {

constexpr std::uint32_t sampleRate = 44100;
constexpr std::size_t waveLength = DvVaneto::waveLength;

// values holds whole waves of 256; answers whether every byte reached the file, and when not
// the system's reason ("No space left on device") in error.
bool write(const std::filesystem::path& path, std::span<const std::int16_t> values,
           std::size_t frameSize, std::string& error);

} // namespace WavetableExport
