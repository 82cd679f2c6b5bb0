#pragma once

#include "document/BankOrigin.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class ByteReader;
class ByteWriter;
class DvVaneto;

// Undo and redo for every change of the bank image. Before a change, the command records what
// it is about to change (a range of a bank's values, its names, its layout); undo puts that back
// and keeps what it replaced, so that redo can put that back in turn. A step holds only what it
// names: a rename holds names, a stroke the values it touched, an Open from Disk its banks.
//
// Every part also keeps where its bank's sound came from, so that undo and redo bring that back
// with the values.
//
// The steps together stay within a byte limit; the oldest go first. A step that changes values
// is "content": the editor refuses to undo or redo it while a transfer reads the banks.
class BankHistory {
public:
    static constexpr std::size_t defaultLimit = std::size_t{64} << 20;

    struct Part {
        int bank = 0;
        std::size_t first = 0; // values first ... first + count - 1
        std::size_t count = 0;
        bool names = false; // the bank name and the 256 sample names
        bool layout = false;
    };
    // Everything of a bank: values, names and layout.
    static Part wholeBank(int bank);
    static Part namesOf(int bank) { return {bank, 0, 0, true, false}; }
    static Part layoutOf(int bank) { return {bank, 0, 0, false, true}; }

    using Origins = std::array<BankOrigin, 7>;

    // Without origins, parts keep only what the store holds.
    explicit BankHistory(DvVaneto& store, std::size_t limit = defaultLimit,
                         Origins* origins = nullptr);

    // Saves the parts as they are now, before the change that `label` names ("import of
    // pluck.wav into bank 4"); forgets the steps that could be redone. Answers the step's
    // number, unique for this history.
    std::uint64_t record(std::string label, const std::vector<Part>& parts);
    // Takes back the step just recorded when it is the one numbered (its parts are put back as
    // they were) and forgets it: its change did not happen after all, and the steps that could
    // be redone before it can be again. Any other last step stays.
    bool revertLast(std::uint64_t step);
    // The step just recorded happened: the steps it took from redo are gone for good.
    void settle();

    bool canUndo() const { return !undoSteps.empty(); }
    bool canRedo() const { return !redoSteps.empty(); }
    // The label of the step undo or redo would take back ("" when there is none).
    std::string undoLabel() const;
    std::string redoLabel() const;
    // Whether that step changes values.
    bool undoIsContent() const;
    bool redoIsContent() const;

    // Takes one step back or forward; answers the banks it changed (none when there was no
    // step).
    std::vector<int> undo();
    std::vector<int> redo();

    std::size_t steps() const { return undoSteps.size() + redoSteps.size(); }
    std::size_t bytes() const { return total; }

    // What a part holds: the values and names it names, its bank's layout and origin.
    struct Saved {
        Part part;
        std::vector<std::int16_t> values;
        std::string bankName;
        std::vector<std::string> sampleNames;
        bool single = true;
        BankOrigin origin;
    };
    // The part as the store holds it now.
    Saved save(const Part& part) const;
    // Puts saved content into the store (and its bank's origin).
    void put(const Saved& saved);
    static void encode(const Saved& saved, ByteWriter& out);
    // False when the bytes do not read as a part of the seven banks.
    static bool decode(ByteReader& in, Saved& saved);

    // Every step with its number, for the work kept on disk. decode replaces the steps; false,
    // with no steps left, when the bytes do not read.
    void encode(ByteWriter& out) const;
    bool decode(ByteReader& in);
    // Replaces the steps by another history's (which is left without any).
    void takeSteps(BankHistory& other);

private:
    struct Step {
        std::string label;
        std::vector<Saved> parts;
        std::size_t bytes = 0;
        bool content = false;
        std::uint64_t number = 0;
    };

    // Puts the saved parts into the store and keeps what they replaced in their place.
    std::vector<int> exchange(Step& step);
    static std::size_t sizeOf(const Saved& saved);
    void trim();

    DvVaneto& store;
    std::size_t limit;
    Origins* origins;
    std::size_t total = 0;
    std::uint64_t lastNumber = 0;
    std::deque<Step> undoSteps;
    std::deque<Step> redoSteps;
    // The redo steps the last record set aside, until it settles or is taken back.
    std::deque<Step> parked;
    std::size_t parkedBytes = 0;
    std::uint64_t parkedFor = 0;
};
