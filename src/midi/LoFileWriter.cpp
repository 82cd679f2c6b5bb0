#include "midi/LoFileWriter.h"

LoFileWriter::LoFileWriter(const std::filesystem::path& path)
    : std::ofstream(path, std::ios::out | std::ios::binary | std::ios::trunc) {}

LoFileWriter::~LoFileWriter() = default;

LoFileWriter& LoFileWriter::write(const void* source, std::size_t count) {
    if (source != nullptr && count != 0) {
        std::ofstream::write(static_cast<const char*>(source), static_cast<std::streamsize>(count));
    }
    return *this;
}

LoFileWriter& LoFileWriter::write8(std::uint32_t value) {
    const auto b = static_cast<std::uint8_t>(value & 0xFF);
    return write(&b, 1);
}

LoFileWriter& LoFileWriter::write16(std::uint32_t value, bool bigEndian) {
    std::uint8_t b[2];
    for (int i = 0; i < 2; ++i) {
        const int shift = bigEndian ? 8 * (1 - i) : 8 * i;
        b[i] = static_cast<std::uint8_t>((value >> shift) & 0xFF);
    }
    return write(b, 2);
}

LoFileWriter& LoFileWriter::write32(std::uint32_t value, bool bigEndian) {
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 8 * (3 - i) : 8 * i;
        b[i] = static_cast<std::uint8_t>((value >> shift) & 0xFF);
    }
    return write(b, 4);
}

std::int32_t LoFileWriter::tell() {
    return static_cast<std::int32_t>(tellp());
}

std::int32_t LoFileWriter::seek(std::int32_t position) {
    const std::int32_t previous = tell();
    seekp(position, std::ios::beg);
    return previous;
}
