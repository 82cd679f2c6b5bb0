#include "midi/LoFileReader.h"

#include "midi/FileGate.h"
#include "midi/LoBuffer.h"

#include <algorithm>

LoFileReader::LoFileReader() : std::istream(nullptr) {}

LoFileReader::LoFileReader(const std::filesystem::path& path) : LoFileReader() {
    open(path);
}

LoFileReader::LoFileReader(std::span<const std::uint8_t> bytes)
    : std::istream(nullptr), memory_(bytes), inMemory_(true) {
    rdbuf(&memory_);
}

LoFileReader::~LoFileReader() = default;

bool LoFileReader::is_open() const {
    return inMemory_ || (file_ && file_->is_open());
}

void LoFileReader::open(const std::filesystem::path& path) {
    if (is_open()) {
        setstate(std::ios::failbit);
        return;
    }
    const int fd = FileGate::open(path, openError_);
    if (fd < 0) {
        setstate(std::ios::failbit);
        return;
    }
    file_ = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::in | std::ios::binary);
    rdbuf(file_.get());
    clear();
}

void LoFileReader::close() {
    if (!inMemory_ && (!file_ || file_->close() == nullptr)) {
        setstate(std::ios::failbit);
    }
}

std::size_t LoFileReader::read(void* destination, std::size_t count) {
    if (destination == nullptr || count == 0) {
        return 0;
    }
    std::istream::read(static_cast<char*>(destination), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(std::max<std::streamsize>(0, gcount()));
}

std::uint16_t LoFileReader::read16(bool bigEndian) {
    std::uint8_t b[2] = {0, 0};
    read(b, 2);
    if (bigEndian) {
        return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
    }
    return static_cast<std::uint16_t>((b[1] << 8) | b[0]);
}

std::uint32_t LoFileReader::read32(bool bigEndian) {
    std::uint8_t b[4] = {0, 0, 0, 0};
    read(b, 4);
    if (bigEndian) {
        return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
               (std::uint32_t{b[2]} << 8) | b[3];
    }
    return (std::uint32_t{b[3]} << 24) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[1]} << 8) |
           b[0];
}

LoBuffer& LoFileReader::readBuffer(LoBuffer& buffer) {
    return buffer.readFrom(*this);
}

std::int32_t LoFileReader::tell() {
    return static_cast<std::int32_t>(tellg());
}

std::int32_t LoFileReader::seek(std::int32_t position) {
    const std::int32_t previous = tell();
    clear();
    seekg(position, std::ios::beg);
    return previous;
}

bool LoFileReader::skip(std::uint32_t count) {
    const std::int64_t here = tell();
    clear();
    seekg(0, std::ios::end);
    const std::int64_t last = static_cast<std::int64_t>(tellg());
    if (here < 0 || last < 0 || last < here + static_cast<std::int64_t>(count)) {
        clear();
        if (here >= 0) {
            seekg(here, std::ios::beg);
        }
        return false;
    }
    seekg(here + static_cast<std::int64_t>(count), std::ios::beg);
    return true;
}

std::int64_t LoFileReader::fileSize() {
    if (!is_open()) {
        return -1;
    }
    const std::streampos here = tellg();
    const bool wasFailed = fail();
    clear();
    seekg(0, std::ios::end);
    const std::int64_t size = static_cast<std::int64_t>(tellg());
    clear();
    if (here >= 0) {
        seekg(here, std::ios::beg);
    }
    if (wasFailed) {
        setstate(std::ios::failbit);
    }
    return size;
}
