#include "document/BankHistory.h"

#include "document/ByteReader.h"
#include "document/ByteWriter.h"
#include "device/DvVaneto.h"

#include <algorithm>

BankHistory::Part BankHistory::wholeBank(int bank) {
    return {bank, 0, DvVaneto::valuesPerBank, true, true};
}

BankHistory::BankHistory(DvVaneto& store_, std::size_t limit_, Origins* origins_)
    : store(store_), limit(limit_), origins(origins_) {}

BankHistory::Saved BankHistory::save(const Part& part) const {
    Saved saved;
    saved.part = part;
    const auto values = store.bankData(part.bank);
    if (part.first < values.size()) {
        const std::size_t count = std::min(part.count, values.size() - part.first);
        saved.part.count = count;
        saved.values.assign(values.begin() + static_cast<std::ptrdiff_t>(part.first),
                            values.begin() + static_cast<std::ptrdiff_t>(part.first + count));
    } else {
        saved.part.count = 0;
    }
    if (part.names) {
        saved.bankName = store.bankName(part.bank);
        saved.sampleNames.resize(DvVaneto::sampleNamesPerBank);
        for (int s = 0; s < DvVaneto::sampleNamesPerBank; ++s) {
            saved.sampleNames[static_cast<std::size_t>(s)] = store.sampleName(part.bank, s);
        }
    }
    saved.single = store.isSingleSample(part.bank);
    if (origins != nullptr && part.bank >= 0 && part.bank < static_cast<int>(origins->size())) {
        saved.origin = (*origins)[static_cast<std::size_t>(part.bank)];
    }
    return saved;
}

std::size_t BankHistory::sizeOf(const Saved& saved) {
    std::size_t size = sizeof(Saved) + saved.values.size() * sizeof(std::int16_t) +
                       saved.bankName.capacity() + saved.origin.line.capacity() +
                       saved.origin.longerSource.capacity();
    for (const std::string& name : saved.sampleNames) {
        size += sizeof(std::string) + (name.capacity() > 15 ? name.capacity() : 0);
    }
    return size;
}

std::uint64_t BankHistory::record(std::string label, const std::vector<Part>& parts) {
    parkedBytes = 0;
    for (const Step& step : redoSteps) {
        parkedBytes += step.bytes;
    }
    total -= parkedBytes;
    parked = std::move(redoSteps);
    redoSteps.clear();
    parkedFor = lastNumber + 1;
    Step step;
    step.label = std::move(label);
    step.number = ++lastNumber;
    for (const Part& part : parts) {
        step.parts.push_back(save(part));
        step.bytes += sizeOf(step.parts.back());
        step.content = step.content || step.parts.back().part.count != 0;
    }
    total += step.bytes;
    undoSteps.push_back(std::move(step));
    trim();
    return lastNumber;
}

bool BankHistory::revertLast(std::uint64_t number) {
    if (undoSteps.empty() || undoSteps.back().number != number) {
        return false;
    }
    exchange(undoSteps.back());
    total -= undoSteps.back().bytes;
    undoSteps.pop_back();
    if (parkedFor == number) {
        redoSteps = std::move(parked);
        total += parkedBytes;
    }
    settle();
    return true;
}

void BankHistory::settle() {
    parked.clear();
    parkedBytes = 0;
    parkedFor = 0;
}

void BankHistory::trim() {
    // The newest step stays even when it alone passes the limit: it is the one a user wants.
    while (total > limit && undoSteps.size() > 1) {
        total -= undoSteps.front().bytes;
        undoSteps.pop_front();
    }
}

std::string BankHistory::undoLabel() const {
    return undoSteps.empty() ? std::string() : undoSteps.back().label;
}

std::string BankHistory::redoLabel() const {
    return redoSteps.empty() ? std::string() : redoSteps.back().label;
}

bool BankHistory::undoIsContent() const {
    return !undoSteps.empty() && undoSteps.back().content;
}

bool BankHistory::redoIsContent() const {
    return !redoSteps.empty() && redoSteps.back().content;
}

void BankHistory::put(const Saved& saved) {
    const int bank = saved.part.bank;
    store.writeValues(bank, saved.part.first, saved.values);
    if (saved.part.names && saved.sampleNames.size() == DvVaneto::sampleNamesPerBank) {
        store.setBankName(saved.bankName, bank);
        for (int s = 0; s < DvVaneto::sampleNamesPerBank; ++s) {
            store.setSampleName(saved.sampleNames[static_cast<std::size_t>(s)], bank, s);
        }
    }
    if (saved.part.layout) {
        store.setSingleSample(bank, saved.single);
    }
    if (origins != nullptr && bank >= 0 && bank < static_cast<int>(origins->size())) {
        (*origins)[static_cast<std::size_t>(bank)] = saved.origin;
    }
}

std::vector<int> BankHistory::exchange(Step& step) {
    std::vector<int> banks;
    // In reverse, so that parts of one bank recorded one after the other come back in order.
    for (auto it = step.parts.rbegin(); it != step.parts.rend(); ++it) {
        Saved& saved = *it;
        Saved current = save(saved.part);
        const int bank = saved.part.bank;
        put(saved);
        saved = std::move(current);
        if (std::find(banks.begin(), banks.end(), bank) == banks.end()) {
            banks.push_back(bank);
        }
    }
    // What the step holds now may be larger or smaller than before (names differ in length).
    total -= step.bytes;
    step.bytes = 0;
    for (const Saved& saved : step.parts) {
        step.bytes += sizeOf(saved);
    }
    total += step.bytes;
    return banks;
}

std::vector<int> BankHistory::undo() {
    if (undoSteps.empty()) {
        return {};
    }
    Step step = std::move(undoSteps.back());
    undoSteps.pop_back();
    std::vector<int> banks = exchange(step);
    redoSteps.push_back(std::move(step));
    return banks;
}

std::vector<int> BankHistory::redo() {
    if (redoSteps.empty()) {
        return {};
    }
    Step step = std::move(redoSteps.back());
    redoSteps.pop_back();
    std::vector<int> banks = exchange(step);
    undoSteps.push_back(std::move(step));
    return banks;
}

void BankHistory::encode(const Saved& saved, ByteWriter& out) {
    out.u32(static_cast<std::uint32_t>(saved.part.bank));
    out.u64(saved.part.first);
    out.u8(static_cast<std::uint8_t>((saved.part.names ? 1 : 0) | (saved.part.layout ? 2 : 0) |
                                     (saved.single ? 4 : 0)));
    out.values(saved.values);
    if (saved.part.names) {
        out.text(saved.bankName);
        for (const std::string& name : saved.sampleNames) {
            out.text(name);
        }
    }
    out.text(saved.origin.line);
    out.text(saved.origin.longerSource);
    out.f64(saved.origin.start);
}

bool BankHistory::decode(ByteReader& in, Saved& saved) {
    const std::uint32_t bank = in.u32();
    saved.part.bank = static_cast<int>(bank);
    saved.part.first = in.u64();
    const std::uint8_t flags = in.u8();
    saved.part.names = (flags & 1) != 0;
    saved.part.layout = (flags & 2) != 0;
    saved.single = (flags & 4) != 0;
    saved.values = in.values(DvVaneto::valuesPerBank);
    saved.part.count = saved.values.size();
    saved.sampleNames.clear();
    if (saved.part.names) {
        saved.bankName = in.text();
        for (int s = 0; s < DvVaneto::sampleNamesPerBank && in.ok(); ++s) {
            saved.sampleNames.push_back(in.text());
        }
    }
    saved.origin.line = in.text();
    saved.origin.longerSource = in.text();
    saved.origin.start = in.f64();
    return in.ok() && bank < static_cast<std::uint32_t>(DvVaneto::bankTotal) && flags < 8 &&
           saved.part.first <= DvVaneto::valuesPerBank &&
           saved.part.count <= DvVaneto::valuesPerBank - saved.part.first;
}

void BankHistory::encode(ByteWriter& out) const {
    out.u64(lastNumber);
    for (const auto* steps : {&undoSteps, &redoSteps}) {
        out.u32(static_cast<std::uint32_t>(steps->size()));
        for (const Step& step : *steps) {
            out.text(step.label);
            out.u64(step.number);
            out.u32(static_cast<std::uint32_t>(step.parts.size()));
            for (const Saved& saved : step.parts) {
                encode(saved, out);
            }
        }
    }
}

void BankHistory::takeSteps(BankHistory& other) {
    undoSteps = std::move(other.undoSteps);
    redoSteps = std::move(other.redoSteps);
    total = other.total;
    lastNumber = other.lastNumber;
    other.undoSteps.clear();
    other.redoSteps.clear();
    other.total = 0;
    trim();
}

bool BankHistory::decode(ByteReader& in) {
    undoSteps.clear();
    redoSteps.clear();
    total = 0;
    lastNumber = in.u64();
    for (auto* steps : {&undoSteps, &redoSteps}) {
        const std::uint32_t count = in.u32();
        for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
            Step step;
            step.label = in.text();
            step.number = in.u64();
            const std::uint32_t parts = in.u32();
            for (std::uint32_t p = 0; p < parts && in.ok(); ++p) {
                Saved saved;
                if (!decode(in, saved)) {
                    in.fail();
                    break;
                }
                step.bytes += sizeOf(saved);
                step.content = step.content || saved.part.count != 0;
                step.parts.push_back(std::move(saved));
            }
            total += step.bytes;
            steps->push_back(std::move(step));
        }
    }
    if (!in.ok()) {
        undoSteps.clear();
        redoSteps.clear();
        total = 0;
        return false;
    }
    return true;
}
