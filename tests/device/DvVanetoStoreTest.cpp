#include "device/DvVaneto.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// A factory table whose every value tells where it sits: easy to see what was copied where.
const std::vector<std::int16_t>& markedTable() {
    static const std::vector<std::int16_t> table = [] {
        std::vector<std::int16_t> t(DvFactoryTable::valueCount);
        for (std::size_t i = 0; i < t.size(); ++i) {
            t[i] = static_cast<std::int16_t>(i * 7 + 3);
        }
        return t;
    }();
    return table;
}

TEST(DvVanetoStore, StartsWithFactoryContentLayoutAndNames) {
    const std::vector<std::int16_t>& table = markedTable();
    const DvVaneto store(table);
    EXPECT_EQ(store.bankCount(), 7);
    for (int b = 0; b < 7; ++b) {
        SCOPED_TRACE(b);
        EXPECT_TRUE(store.isSingleSample(b));
        EXPECT_EQ(store.samplesPerBank(b), 1);
        EXPECT_EQ(store.slotLength(b), 65536u);
        const auto data = store.bankData(b);
        ASSERT_EQ(data.size(), 65536u);
        EXPECT_TRUE(std::equal(data.begin(), data.end() - 1, table.begin() + b * 65536));
        EXPECT_EQ(data.back(), 0);
    }
    EXPECT_EQ(store.bankName(0), "Bank 1");
    EXPECT_EQ(store.sampleName(6, 0), "Sample 1 (in Bank 7)");
    EXPECT_EQ(store.sampleName(6, 255), "Sample 256 (in Bank 7)");
    EXPECT_EQ(store.sampleName(2, 99), "Sample 100 (in Bank 3)");
}

TEST(DvVanetoStore, ShortFactoryTableCountsAsZeros) {
    const std::vector<std::int16_t> table(65536 + 10, 5);
    const DvVaneto store(table);
    EXPECT_EQ(store.bankData(1)[9], 5);
    EXPECT_EQ(store.bankData(1)[10], 0);
    EXPECT_EQ(store.bankData(6)[0], 0);
}

TEST(DvVanetoStore, IndicesOutsideTheStoreTouchNothing) {
    DvVaneto store(markedTable());
    for (const int bad : {-1, 7, 1000}) {
        EXPECT_FALSE(store.isSingleSample(bad));
        EXPECT_EQ(store.samplesPerBank(bad), 0);
        EXPECT_EQ(store.slotLength(bad), 0u);
        EXPECT_EQ(store.bankName(bad), "");
        EXPECT_TRUE(store.bankData(bad).empty());
        store.setBankName("x", bad);
        store.resetBank(bad);
        const std::int16_t v[3] = {1, 2, 3};
        store.insertSample(v, 3, bad, 0);
    }
    EXPECT_EQ(store.sampleName(0, 256), "");
    EXPECT_EQ(store.sampleName(0, -1), "");
    store.setSampleName("x", 0, 256);
    const std::int16_t v[3] = {1, 2, 3};
    store.insertSample(v, 3, 0, 1); // bank 0 has one slot only
    EXPECT_EQ(store.bankData(0)[1], static_cast<std::int16_t>(1 * 7 + 3));
}

TEST(DvVanetoStore, NamesAreCopiedUpToTheirFirstNul) {
    DvVaneto store(markedTable());
    store.setBankName(std::string_view("Drums\0junk", 10), 3);
    store.setSampleName("Kick", 3, 0);
    store.setSampleName("", 3, 255);
    EXPECT_EQ(store.bankName(3), "Drums");
    EXPECT_EQ(store.sampleName(3, 0), "Kick");
    EXPECT_EQ(store.sampleName(3, 255), "");
    EXPECT_EQ(store.bankName(2), "Bank 3");
}

TEST(DvVanetoStore, ResetRestoresOneBankOnly) {
    const std::vector<std::int16_t>& table = markedTable();
    DvVaneto store(table);
    const std::vector<std::int16_t> loud(1000, 10000);
    for (const int b : {2, 4}) {
        store.insertSample(loud.data(), loud.size(), b, 0);
        store.setBankName("Mine", b);
        store.setSampleName("Mine too", b, 0);
        store.setSampleName("Far", b, 200);
    }
    store.resetBank(2);
    EXPECT_TRUE(std::equal(store.bankData(2).begin(), store.bankData(2).end() - 1,
                           table.begin() + 2 * 65536));
    EXPECT_EQ(store.bankName(2), "Bank 3");
    EXPECT_EQ(store.sampleName(2, 0), "Sample 1 (in Bank 3)");
    EXPECT_EQ(store.sampleName(2, 200), "Sample 201 (in Bank 3)");
    EXPECT_EQ(store.bankName(4), "Mine");
    EXPECT_EQ(store.sampleName(4, 200), "Far");
    EXPECT_EQ(store.bankData(4)[1], 10000);
}

// Position 985 + j of a 1000-value import of 10000 holds 10000 >> (1 + j).
TEST(DvVanetoStore, InsertCopiesZeroFillsAndFadesTheEnd) {
    DvVaneto store(markedTable());
    const std::vector<std::int16_t> loud(1000, 10000);
    store.insertSample(loud.data(), loud.size(), 0, 0);
    const auto data = store.bankData(0);
    EXPECT_EQ(data[0], 0);
    EXPECT_TRUE(std::all_of(data.begin() + 1, data.begin() + 985,
                            [](std::int16_t v) { return v == 10000; }));
    for (int j = 0; j < 15; ++j) {
        EXPECT_EQ(data[985 + j], 10000 >> (1 + j)) << "position " << 985 + j;
    }
    EXPECT_TRUE(
        std::all_of(data.begin() + 1000, data.end(), [](std::int16_t v) { return v == 0; }));
}

TEST(DvVanetoStore, DeclickKeepsTheSignAndNeverOverflows) {
    std::vector<std::int16_t> v(20, -32768);
    DvVaneto::declick(v.data(), v.size());
    EXPECT_EQ(v[4], -32768); // 16th from the end: untouched
    EXPECT_EQ(v[5], -16383); // 15th from the end: -32767 / 2
    EXPECT_EQ(v[18], -1);    // -32767 >> 14
    EXPECT_EQ(v[19], 0);
    std::vector<std::int16_t> odd = {-3, -3, -3};
    DvVaneto::declick(odd.data(), odd.size());
    EXPECT_EQ(odd, (std::vector<std::int16_t>{0, 0, 0})); // toward zero, not toward -infinity
}

TEST(DvVanetoStore, InsertHandlesLongEmptyAndShortInput) {
    DvVaneto store(markedTable());
    std::vector<std::int16_t> many(70000, 20000);
    store.insertSample(many.data(), many.size(), 1, 0);
    auto data = store.bankData(1);
    EXPECT_EQ(data.size(), 65536u);
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[65520], 20000);
    EXPECT_EQ(data[65521], 10000); // 15th from the end, halved
    EXPECT_EQ(data[65535], 0);

    store.insertSample(nullptr, 0, 1, 0);
    data = store.bankData(1);
    EXPECT_TRUE(std::all_of(data.begin(), data.end(), [](std::int16_t v) { return v == 0; }));

    const std::vector<std::int16_t> ten(10, 30000);
    store.insertSample(ten.data(), ten.size(), 1, 0);
    data = store.bankData(1);
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[1], 30000 >> 7); // 9th from the end
    EXPECT_EQ(data[8], 30000 >> 14);
    EXPECT_EQ(data[9], 0);
    EXPECT_EQ(data[10], 0);
}

// A reader on another thread must see one of the names written, never a mix of two. A torn
// name shows only now and then; the ThreadSanitizer suite reports a missing lock on every run.
TEST(DvVanetoStore, NameReadDuringRenamesIsNeverTorn) {
    DvVaneto store(markedTable());
    const std::string a(200, 'a');
    const std::string b(17, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            const std::string name = store.bankName(5);
            if (name != a && name != b && name != "Bank 6") {
                ++torn;
            }
            const LoMidiEvent meta = store.metaEvent(0x03, 5);
            if (meta.size() != a.size() + 2 && meta.size() != b.size() + 2 && meta.size() != 8) {
                ++torn;
            }
        }
    });
    for (int i = 0; i < 20000; ++i) {
        store.setBankName(i % 2 ? a : b, 5);
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
