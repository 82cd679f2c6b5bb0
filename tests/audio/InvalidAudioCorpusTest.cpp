#include "files/SampleImport.h"
#include "device/DvVaneto.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>

// Every allocation of this test program passes here, so that a file claiming gigabytes shows up
// as an oversized request even where the machine would grant it.
namespace {
std::atomic<std::size_t> largestAllocation{0};
}

void* operator new(std::size_t size) {
    std::size_t seen = largestAllocation.load();
    while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Outcome = SampleImport::Outcome;

const std::filesystem::path corpus = std::filesystem::path(VANETO_TEST_DATA_DIR) / "audio/invalid";

// What each defect imports as; files not listed must merely import without harm.
const std::map<std::string, std::pair<Outcome, std::size_t>> expected = {
    {"data-size-4gb.wav", {Outcome::importedWave, 500}},
    {"data-size-past-end.wav", {Outcome::importedWave, 50}},
    {"fmt-size-past-end.wav", {Outcome::importedWave, 0}}, // hides the data chunk
    {"list-size-0xffffffff-before-fmt.wav", {Outcome::unsupported, 0}},
    {"riff-header-only.wav", {Outcome::unsupported, 0}},
    {"zero-channels.wav", {Outcome::importedWave, 0}},
    {"zero-bits.wav", {Outcome::importedWave, 0}},
    {"64-bit-depth.wav", {Outcome::importedWave, 0}},
    {"zero-rate.wav", {Outcome::importedWave, 0}},
    {"65535-channels.wav", {Outcome::importedWave, 0}},
    {"12-bit-depth.wav", {Outcome::importedWave, 100}},
    {"extensible-fmt-too-short.wav", {Outcome::unsupported, 0}},
    {"duplicate-fmt-conflicting.wav", {Outcome::importedWave, 50}}, // the first one counts
    {"zero-size-chunk-before-fmt.wav", {Outcome::importedWave, 50}},
    {"odd-size-chunk-before-fmt.wav", {Outcome::importedWave, 50}}, // padded to even
    {"aiff-duplicate-comm-conflicting.aif", {Outcome::importedAiff, 50}},
    {"aiff-denormal-rate.aif", {Outcome::importedAiff, 0}},
    {"aiff-odd-size-chunk-before-comm.aif", {Outcome::importedAiff, 50}},
    {"aiff-zero-bits.aif", {Outcome::importedAiff, 0}},
    {"aiff-48-bit-depth.aif", {Outcome::importedAiff, 0}},
    {"aiff-zero-channels.aif", {Outcome::importedAiff, 0}},
    {"aiff-nan-rate.aif", {Outcome::importedAiff, 0}},
    {"aiff-infinite-rate.aif", {Outcome::importedAiff, 0}},
    {"aiff-negative-rate.aif", {Outcome::importedAiff, 0}},
    {"aiff-ssnd-size-4gb.aif", {Outcome::importedAiff, 500}},
    {"aiff-ssnd-offset-past-end.aif", {Outcome::importedAiff, 0}},
    {"aiff-ssnd-size-below-offset.aif", {Outcome::importedAiff, 0}},
    {"aiff-no-ssnd.aif", {Outcome::importedAiff, 0}},
    {"form-header-only.aif", {Outcome::importedAiff, 0}},
    {"aifc-form-type.aif", {Outcome::unsupported, 0}},
    {"empty-file.wav", {Outcome::importedRaw, 0}},
    {"one-byte.bin", {Outcome::importedRaw, 0}},
};

TEST(InvalidAudioCorpus, EveryDefectImportsWithoutHarm) {
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const auto path = entry.path();
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        ++files;
        largestAllocation = 0;
        DvVaneto store;
        const auto result = SampleImport::importInto(path, store, 0);
        const auto whole = SampleImport::load(path, true);
        EXPECT_LT(largestAllocation.load(), std::size_t{16} << 20);
        EXPECT_NE(result.outcome, Outcome::couldNotOpen);
        EXPECT_LE(result.values.size(), SampleImport::bankValues);
        EXPECT_EQ(result.values, whole.values);
        if (SampleImport::isImported(result.outcome)) {
            EXPECT_EQ(store.sampleName(0, 0), name);
        }
        if (const auto it = expected.find(name); it != expected.end()) {
            EXPECT_EQ(result.outcome, it->second.first);
            EXPECT_EQ(result.values.size(), it->second.second);
        }
    }
    EXPECT_GE(files, expected.size());
}

TEST(InvalidAudioCorpus, TwelveBitSamplesImportAtFullLevel) {
    const auto result = SampleImport::load(corpus / "12-bit-depth.wav");
    ASSERT_EQ(result.values.size(), 100u);
    EXPECT_EQ(result.values[0], 32752);
    EXPECT_EQ(result.values[1], -32768);
}

} // namespace
