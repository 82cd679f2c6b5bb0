// A power cut at any point of a session: the journal's writes, syncs and renames are recorded
// in memory, and for each point the disk images a cut could leave there are built (what was
// synced, plus none, all or half of the last write of what was not; the folder's names as last
// synced, or as they stood). Each image reads back to the state of a step at or after the last
// one the journal reported durable, never to an error and never to a state that never was.
#include "document/BankDocument.h"
#include "kept/WorkFiles.h"
#include "kept/WorkJournal.h"
#include "kept/WorkReader.h"
#include "kept/WorkState.h"
#include "device/DvVaneto.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>

namespace {

// Files in memory. Files only grow (the journal appends), so a point in time is the length
// of each file, how much of it was synced, and the names.
class MemoryFiles final : public WorkFiles {
public:
    struct File {
        std::vector<std::uint8_t> data;
    };
    struct Point {
        std::map<int, std::size_t> written, synced, lastWrite; // by file
        std::map<std::string, int> names, syncedNames;
        std::uint64_t reported = 0; // what the journal had said was durable
    };

    std::function<std::uint64_t()> reported;
    std::vector<Point> points;

    // What a point's image holds under `name`: the file and its length (file -1: none), with
    // the names as synced or as they stood, the file as synced, as written or with its last
    // write torn.
    std::pair<int, std::size_t> imageOf(const Point& point, const std::string& name,
                                        bool currentNames, int contents) const {
        const auto& names = currentNames ? point.names : point.syncedNames;
        const auto at = names.find(name);
        if (at == names.end()) {
            return {-1, 0};
        }
        const int file = at->second;
        const std::size_t written = point.written.at(file);
        const std::size_t synced = point.synced.at(file);
        std::size_t length = contents == 0 ? synced : written;
        if (contents == 2 && written > synced) {
            const std::size_t last = point.lastWrite.at(file);
            length = std::max(synced, last + (written - last) / 2);
        }
        return {file, length};
    }
    // A disk that holds that file alone.
    std::unique_ptr<MemoryFiles> image(const std::string& name,
                                       std::pair<int, std::size_t> file) const {
        auto out = std::make_unique<MemoryFiles>();
        const auto& data = files_[static_cast<std::size_t>(file.first)].data;
        out->files_.push_back(
            {{data.begin(), data.begin() + static_cast<std::ptrdiff_t>(file.second)}});
        out->names_[name] = 0;
        return out;
    }

    int openRead(const std::filesystem::path& path, std::string& error) override {
        const auto at = names_.find(path.string());
        if (at == names_.end()) {
            error = "No such file or directory";
            return -1;
        }
        return handle(at->second);
    }
    int create(const std::filesystem::path& path, std::string& error) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (names_.count(path.string()) != 0) {
            error = "File exists";
            return -1;
        }
        files_.emplace_back();
        const int file = static_cast<int>(files_.size() - 1);
        names_[path.string()] = file;
        record();
        return handle(file);
    }
    long read(int handle, std::uint8_t* data, std::size_t size) override {
        auto& [file, at] = handles_[handle];
        const auto& bytes = files_[static_cast<std::size_t>(file)].data;
        const std::size_t n = std::min(size, bytes.size() - at);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, data);
        at += n;
        return static_cast<long>(n);
    }
    bool write(int handle, const std::uint8_t* data, std::size_t size, std::string&) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        const int file = handles_[handle].first;
        auto& bytes = files_[static_cast<std::size_t>(file)].data;
        lastWrite_[file] = bytes.size();
        bytes.insert(bytes.end(), data, data + size);
        record();
        return true;
    }
    bool sync(int handle, std::string&) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        const int file = handles_[handle].first;
        synced_[file] = files_[static_cast<std::size_t>(file)].data.size();
        record();
        return true;
    }
    void close(int handle) override { handles_.erase(handle); }
    // Read, not mapped: the other way of reading a journal.
    const std::uint8_t* map(int, std::uint64_t) override { return nullptr; }
    void unmap(const std::uint8_t*, std::uint64_t) override {}
    std::uint64_t size(int handle) override {
        return files_[static_cast<std::size_t>(handles_[handle].first)].data.size();
    }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to,
                std::string&) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        names_[to.string()] = names_.at(from.string());
        names_.erase(from.string());
        record();
        return true;
    }
    void remove(const std::filesystem::path& path) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (names_.erase(path.string()) != 0) {
            record();
        }
    }
    void syncFolder(const std::filesystem::path&) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        syncedNames_ = names_;
        record();
    }

private:
    int handle(int file) {
        handles_[next_] = {file, 0};
        return next_++;
    }
    void record() {
        Point point{{}, synced_, lastWrite_, names_, syncedNames_, reported ? reported() : 0};
        for (std::size_t file = 0; file < files_.size(); ++file) {
            point.written[static_cast<int>(file)] = files_[file].data.size();
            point.synced.try_emplace(static_cast<int>(file), 0);
            point.lastWrite.try_emplace(static_cast<int>(file), 0);
        }
        points.push_back(std::move(point));
    }

    std::mutex mutex_;
    std::vector<File> files_;
    std::map<std::string, int> names_, syncedNames_;
    std::map<int, std::size_t> synced_, lastWrite_;
    std::map<int, std::pair<int, std::size_t>> handles_;
    int next_ = 1;
};

std::string fingerprint(BankDocument& document) {
    std::string all;
    const DvVaneto& banks = document.banks();
    for (int bank = 0; bank < DvVaneto::bankTotal; ++bank) {
        const auto values = banks.bankData(bank);
        all.append(reinterpret_cast<const char*>(values.data()), values.size_bytes());
        all += banks.bankName(bank) + (banks.isSingleSample(bank) ? "1" : "256");
    }
    return std::to_string(std::hash<std::string>()(all)) + document.history().undoLabel() + "/" +
           std::to_string(document.history().steps());
}

TEST(KeptPowerCut, EveryImageReadsToAStateAtOrAfterWhatWasReportedDurable) {
    MemoryFiles files;
    BankDocument document;
    const std::filesystem::path path = "/kept/1.journal";
    std::map<std::uint64_t, std::string> states; // by sequence
    std::uint64_t sequence = 1;
    WorkJournal journal(files);
    files.reported = [&] { return journal.durable(); };
    journal.setSyncInterval(std::chrono::milliseconds(0));
    // Compacted whenever the file passes one and a half snapshots.
    journal.setCompactor(WorkReader::compactor(files), 150);
    document.addObserver([&](const BankDocument::Event& event) {
        std::vector<std::uint8_t> record = WorkState::record(document, event, {0, 0});
        if (!record.empty()) {
            states[++sequence] = fingerprint(document);
            journal.append(sequence, std::move(record));
        }
    });
    states[1] = fingerprint(document);
    journal.begin(path, 1, 1, WorkState::snapshot(document, {0, 0}));
    std::mt19937 random(5);
    for (int n = 0; n < 36; ++n) {
        const int bank = static_cast<int>(random() % 7);
        if (n % 3 == 2) {
            document.undo();
            continue;
        }
        document.change({BankDocument::Command::edit,
                         "step " + std::to_string(n),
                         {n % 2 == 0 ? BankHistory::wholeBank(bank) : BankHistory::namesOf(bank)}},
                        [&](DvVaneto& banks, BankDocument::Origins&) {
                            if (n % 2 == 0) {
                                std::vector<std::int16_t> values(DvVaneto::valuesPerBank,
                                                                 static_cast<std::int16_t>(n));
                                banks.writeValues(bank, 0, values);
                            } else {
                                banks.setBankName("name " + std::to_string(n), bank);
                            }
                            return true;
                        });
    }
    // The quit: its end, then the journal compacted.
    states[sequence + 1] = states[sequence];
    journal.append(sequence + 1, WorkState::end({0, 0}));
    journal.sync();
    journal.compact();
    ASSERT_TRUE(journal.finish(std::chrono::seconds(10)));
    ASSERT_EQ(journal.durable(), sequence + 1);
    ASSERT_GE(journal.compactions(), 1u);

    // Each image read once, then held against every point that could leave it.
    struct Read {
        bool ok = false;
        std::uint64_t sequence = 0;
        std::string state;
        std::string error;
    };
    std::map<std::pair<int, std::size_t>, Read> reads;
    int images = 0;
    for (const MemoryFiles::Point& point : files.points) {
        for (const bool currentNames : {false, true}) {
            for (const int contents : {0, 1, 2}) {
                const auto file = files.imageOf(point, path.string(), currentNames, contents);
                auto [at, fresh] = reads.try_emplace(file);
                Read& read = at->second;
                if (fresh && file.first >= 0) {
                    ++images;
                    WorkReader::State state =
                        WorkReader::readJournal(*files.image(path.string(), file), path);
                    read = {state.ok, state.sequence, state.ok ? fingerprint(*state.document) : "",
                            state.error};
                }
                if (point.reported == 0 && !read.ok) {
                    continue; // nothing was promised yet
                }
                ASSERT_TRUE(read.ok) << read.error << " at image " << images;
                EXPECT_GE(read.sequence, point.reported);
                ASSERT_EQ(states.count(read.sequence), 1u);
                EXPECT_EQ(read.state, states[read.sequence]) << "sequence " << read.sequence;
            }
        }
    }
    EXPECT_GT(images, 20);
    RecordProperty("images", images);
}

} // namespace
