#pragma once

#include "document/BankDocument.h"

#include <cstdint>
#include <span>
#include <vector>

// The editor's work as records of its journal, and those records played back onto a document
// of its own. A record is one of:
//
//   snapshot  the seven banks (values, layout, names, origin), the selection and the history
//   step      a step as it was recorded: its label, and its parts as they stood after it
//   undo      one step back
//   redo      one step forward
//   banks     banks replaced without a step, as they stand
//   end       the editor quit here (the last record of a state that ended well)
//
// and every record carries the selected bank and slot as they were after it.
class WorkState {
public:
    struct Selection {
        int bank = 0;
        int slot = 0;
        bool operator==(const Selection&) const = default;
    };
    enum class Kind : std::uint8_t {
        snapshot = 1,
        step = 2,
        undo = 3,
        redo = 4,
        banks = 5,
        end = 6
    };

    static std::vector<std::uint8_t> snapshot(BankDocument& document, Selection selection);
    static std::vector<std::uint8_t> end(Selection selection);
    static Kind kindOf(std::span<const std::uint8_t> record) {
        return record.empty() ? Kind{} : static_cast<Kind>(record[0]);
    }
    // The record of a document event (a step, an undo or redo, banks restored); empty for the
    // events that change nothing lasting (a drag's moves, a cancelled drag).
    static std::vector<std::uint8_t> record(BankDocument& document,
                                            const BankDocument::Event& event, Selection selection);

    // Plays one record onto the document (which nobody else changes meanwhile). False, with the
    // document as it was, when the record does not read. A snapshot whose history does not read
    // restores its banks and sets historyDropped.
    static bool replay(std::span<const std::uint8_t> record, BankDocument& document,
                       Selection& selection, bool& historyDropped);

    // The banks whose values, layout or names differ from the factory image's.
    static std::vector<int> changedBanks(const DvVaneto& banks);
};
