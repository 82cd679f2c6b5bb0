#include "kept/WorkState.h"

#include "document/ByteReader.h"
#include "document/ByteWriter.h"
#include "device/DvVaneto.h"

#include <algorithm>

namespace {

using Kind = WorkState::Kind;

ByteWriter begin(Kind kind, WorkState::Selection selection) {
    ByteWriter out;
    out.u8(static_cast<std::uint8_t>(kind));
    out.u32(static_cast<std::uint32_t>(selection.bank));
    out.u32(static_cast<std::uint32_t>(selection.slot));
    return out;
}

void writeParts(BankHistory& history, const std::vector<BankHistory::Part>& parts,
                ByteWriter& out) {
    out.u32(static_cast<std::uint32_t>(parts.size()));
    for (const BankHistory::Part& part : parts) {
        BankHistory::encode(history.save(part), out);
    }
}

bool readParts(ByteReader& in, std::vector<BankHistory::Saved>& parts) {
    const std::uint32_t count = in.u32();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        BankHistory::Saved saved;
        if (!BankHistory::decode(in, saved)) {
            return false;
        }
        parts.push_back(std::move(saved));
    }
    return in.ok();
}

std::vector<BankHistory::Part> wholeBanks(const std::vector<int>& banks) {
    std::vector<BankHistory::Part> parts;
    for (const int bank : banks) {
        parts.push_back(BankHistory::wholeBank(bank));
    }
    return parts;
}

} // namespace

std::vector<std::uint8_t> WorkState::snapshot(BankDocument& document, Selection selection) {
    ByteWriter out = begin(Kind::snapshot, selection);
    writeParts(document.history(), wholeBanks(DvVaneto::allBanks()), out);
    document.history().encode(out);
    return std::move(out.bytes());
}

std::vector<std::uint8_t> WorkState::end(Selection selection) {
    return std::move(begin(Kind::end, selection).bytes());
}

std::vector<std::uint8_t> WorkState::record(BankDocument& document,
                                            const BankDocument::Event& event, Selection selection) {
    using EventKind = BankDocument::Event::Kind;
    switch (event.kind) {
    case EventKind::step: {
        ByteWriter out = begin(Kind::step, selection);
        out.text(event.label);
        writeParts(document.history(), event.parts, out);
        return std::move(out.bytes());
    }
    case EventKind::undo:
    case EventKind::redo:
        return std::move(
            begin(event.kind == EventKind::undo ? Kind::undo : Kind::redo, selection).bytes());
    case EventKind::restored: {
        ByteWriter out = begin(Kind::banks, selection);
        writeParts(document.history(), wholeBanks(event.banks), out);
        return std::move(out.bytes());
    }
    case EventKind::moved:
    case EventKind::cancelled:
        break;
    }
    return {};
}

bool WorkState::replay(std::span<const std::uint8_t> record, BankDocument& document,
                       Selection& selection, bool& historyDropped) {
    ByteReader in(record);
    const auto kind = static_cast<Kind>(in.u8());
    const Selection after{static_cast<int>(in.u32()), static_cast<int>(in.u32())};
    std::vector<BankHistory::Saved> parts;
    std::string label;
    switch (kind) {
    case Kind::end:
        if (!in.ok()) {
            return false;
        }
        break;
    case Kind::undo:
    case Kind::redo:
        if (!in.ok()) {
            return false;
        }
        kind == Kind::undo ? document.history().undo() : document.history().redo();
        break;
    case Kind::step:
        label = in.text();
        [[fallthrough]];
    case Kind::snapshot:
    case Kind::banks: {
        if (!readParts(in, parts)) {
            return false;
        }
        BankHistory& history = document.history();
        if (kind == Kind::step) {
            std::vector<BankHistory::Part> recorded;
            for (const BankHistory::Saved& saved : parts) {
                recorded.push_back(saved.part);
            }
            history.record(label, recorded);
        }
        for (const BankHistory::Saved& saved : parts) {
            history.put(saved);
        }
        if (kind == Kind::snapshot && !history.decode(in)) {
            historyDropped = true;
        }
        break;
    }
    default:
        return false;
    }
    selection = after;
    return true;
}

std::vector<int> WorkState::changedBanks(const DvVaneto& banks) {
    const DvVaneto factory;
    std::vector<int> changed;
    for (int bank = 0; bank < DvVaneto::bankTotal; ++bank) {
        bool same = banks.isSingleSample(bank) == factory.isSingleSample(bank) &&
                    banks.bankName(bank) == factory.bankName(bank) &&
                    std::ranges::equal(banks.bankData(bank), factory.bankData(bank));
        for (int s = 0; s < DvVaneto::sampleNamesPerBank && same; ++s) {
            same = banks.sampleName(bank, s) == factory.sampleName(bank, s);
        }
        if (!same) {
            changed.push_back(bank);
        }
    }
    return changed;
}
