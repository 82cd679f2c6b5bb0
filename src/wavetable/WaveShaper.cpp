#include "wavetable/WaveShaper.h"

#include "device/DvVaneto.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

WaveShaper::Result WaveShaper::shape(std::span<const std::int16_t> bank, const Request& request) {
    Result result;
    const int first = std::clamp(request.first, 0, DvVaneto::wavesPerBank - 1);
    const int last = std::clamp(request.last, first, DvVaneto::wavesPerBank - 1);
    if (request.kind == Request::Kind::operation) {
        const auto at = static_cast<std::size_t>(first) * DvVaneto::waveLength;
        const auto end = static_cast<std::size_t>(last + 1) * DvVaneto::waveLength;
        if (bank.size() < end) {
            result.problem.message = "no such slots";
            return result;
        }
        result.values.assign(bank.begin() + static_cast<std::ptrdiff_t>(at),
                             bank.begin() + static_cast<std::ptrdiff_t>(end));
        result.clamped = RampedOperation::apply(request.operation, result.values);
        result.ok = true;
        return result;
    }
    const auto mode = request.kind == Request::Kind::formula ? WaveFormula::Mode::values
                                                             : WaveFormula::Mode::harmonics;
    if (compiled_ != request.expression || compiledKind_ != request.kind ||
        formula_.problem().kind == WaveFormula::Problem::Kind::syntax ||
        formula_.problem().kind == WaveFormula::Problem::Kind::unknownName) {
        compiled_ = request.expression;
        compiledKind_ = request.kind;
        if (!formula_.compile(request.expression, mode)) {
            result.problem = formula_.problem();
            return result;
        }
    }
    result.ok = formula_.render(bank, first, last, request.level, result.values, result.clamped,
                                result.gain);
    result.problem = formula_.problem();
    return result;
}

std::string WaveShaper::describe(const Request& request) {
    switch (request.kind) {
    case Request::Kind::formula:
        return "formula";
    case Request::Kind::harmonics:
        return "harmonics";
    case Request::Kind::operation:
        break;
    }
    return RampedOperation::describe(request.operation);
}

std::string WaveShaper::remark(const Result& result) {
    std::string text;
    if (result.gain != 1.0 && result.gain > 0.0) {
        char line[64];
        std::snprintf(line, sizeof line, "gain %.2f dB (x %.6f)", 20.0 * std::log10(result.gain),
                      result.gain);
        text = line;
    }
    if (result.clamped != 0) {
        text += (text.empty() ? "" : ", ") + std::to_string(result.clamped) +
                (result.clamped == 1 ? " value clamped" : " values clamped");
    }
    return text;
}

void WaveShaper::place(const Request& request, const Result& result, DvVaneto& store, int bank) {
    store.setSingleSample(bank, false);
    store.writeValues(bank, static_cast<std::size_t>(request.first) * DvVaneto::waveLength,
                      result.values);
    if (request.kind == Request::Kind::operation) {
        return;
    }
    const std::string name = WaveFormula::slotName(
        request.expression, request.kind == Request::Kind::formula ? WaveFormula::Mode::values
                                                                   : WaveFormula::Mode::harmonics);
    const int last = request.first + static_cast<int>(result.values.size() / DvVaneto::waveLength);
    for (int slot = request.first; slot < last; ++slot) {
        store.setSampleName(name, bank, slot);
    }
}
