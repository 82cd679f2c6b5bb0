#include "wavetable/WaveFormula.h"

#include "wavetable/WaveQuantizer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <muParser.h>
#include <numbers>

namespace {

using Value = mu::value_type;

Value frac(Value v) {
    return v - std::floor(v);
}
Value floorOf(Value v) {
    return std::floor(v);
}
Value ceilOf(Value v) {
    return std::ceil(v);
}
Value saw(Value p) {
    return 2.0 * frac(p) - 1.0;
}
Value tri(Value p) {
    return 4.0 * std::abs(frac(p - 0.25) - 0.5) - 1.0;
}
Value square(Value p) {
    return frac(p) < 0.5 ? 1.0 : -1.0;
}
Value pulse(Value p, Value duty) {
    return frac(p) < duty ? 1.0 : -1.0;
}
Value clip(Value v) {
    return std::clamp(v, -1.0, 1.0);
}
// splitmix64 of the whole number: well mixed, and the same on every machine.
Value noise(Value n) {
    if (!std::isfinite(n)) {
        return std::numeric_limits<Value>::quiet_NaN();
    }
    const double whole = std::clamp(std::floor(n), -9.0e18, 9.0e18);
    auto z = static_cast<std::uint64_t>(static_cast<std::int64_t>(whole)) + 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30U)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27U)) * 0x94d049bb133111ebULL;
    z ^= z >> 31U;
    return static_cast<double>(z >> 11U) / static_cast<double>(1ULL << 52U) - 1.0;
}

// Where an expression assigns (a =, +=, ... that is no comparison): 0-based, or npos.
std::size_t assignmentAt(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '=') {
            ++i; // ==
            continue;
        }
        if (i > 0 && (text[i - 1] == '<' || text[i - 1] == '>' || text[i - 1] == '!')) {
            continue;
        }
        return i;
    }
    return std::string_view::npos;
}

// The first comma outside parentheses: where a second expression would begin.
std::size_t listAt(std::string_view text) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        depth += text[i] == '(' ? 1 : text[i] == ')' ? -1 : 0;
        if (text[i] == ',' && depth == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

// muParser's message without its own position, which the column replaces.
std::string reasonOf(const mu::Parser::exception_type& error) {
    if (error.GetCode() == mu::ecMISSING_PARENS) {
        return "found the end of the formula where \")\" was due";
    }
    std::string text = error.GetMsg();
    for (const char* tail : {" found at position", " at position"}) {
        if (const auto at = text.find(tail); at != std::string::npos) {
            text.erase(at);
            break;
        }
    }
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '!')) {
        text.pop_back();
    }
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    // What was found, cut short: the parser may name the whole expression.
    const std::string& token = error.GetToken();
    const std::string shown = token.size() > 40 ? token.substr(0, 40) + "..." : token;
    if (const auto at = text.find(token); !token.empty() && at != std::string::npos) {
        text.replace(at, token.size(), shown);
    } else if (!token.empty()) {
        text += ", found \"" + shown + "\"";
    }
    return text;
}

bool isName(const std::string& token) {
    return !token.empty() &&
           (std::isalpha(static_cast<unsigned char>(token[0])) != 0 || token[0] == '_');
}

} // namespace

// The parser and the arrays its variables read in bulk mode, one value per evaluation.
struct WaveFormula::Engine {
    static constexpr std::size_t bulk = waveLength * slotCount;
    mu::Parser parser;
    std::vector<Value> x = std::vector<Value>(bulk);
    std::vector<Value> y = std::vector<Value>(bulk);
    std::vector<Value> t = std::vector<Value>(bulk);
    std::vector<Value> w = std::vector<Value>(bulk);
    std::vector<Value> h = std::vector<Value>(bulk);
    std::vector<Value> results = std::vector<Value>(bulk);
    std::vector<double> unrounded;
};

WaveFormula::WaveFormula() : engine_(std::make_unique<Engine>()) {
    for (std::size_t i = 0; i < Engine::bulk; ++i) {
        engine_->x[i] = static_cast<double>(i % waveLength) / static_cast<double>(waveLength);
    }
}

WaveFormula::~WaveFormula() = default;

bool WaveFormula::fail(Problem::Kind kind, int column, std::string message) {
    problem_ = {};
    problem_.kind = kind;
    problem_.column = column;
    problem_.message = std::move(message);
    return false;
}

bool WaveFormula::compile(std::string_view expression, Mode mode) {
    problem_ = {};
    mode_ = mode;
    expression_ = std::string(expression);
    const auto columnAt = [&](std::size_t at) {
        return static_cast<int>(std::min(at, expression.size())) + 1;
    };
    if (expression.find_first_not_of(" \t") == std::string_view::npos) {
        return fail(Problem::Kind::syntax, 1, "column 1: the formula is empty");
    }
    if (const auto at = assignmentAt(expression); at != std::string_view::npos) {
        return fail(Problem::Kind::syntax, columnAt(at),
                    "column " + std::to_string(columnAt(at)) +
                        ": found \"=\", which would assign (== compares)");
    }
    // The one place where the parser's exceptions are caught: nothing else in the project
    // throws.
    try {
        mu::Parser& parser = engine_->parser;
        parser = mu::Parser();
        parser.ClearConst();
        parser.DefineConst("pi", std::numbers::pi);
        parser.DefineConst("e", std::numbers::e);
        parser.DefineFun("frac", frac);
        parser.DefineFun("floor", floorOf);
        parser.DefineFun("ceil", ceilOf);
        parser.DefineFun("saw", saw);
        parser.DefineFun("tri", tri);
        parser.DefineFun("square", square);
        parser.DefineFun("pulse", pulse);
        parser.DefineFun("fold", WaveFormula::fold);
        parser.DefineFun("clip", clip);
        parser.DefineFun("noise", noise);
        parser.DefineVar("t", engine_->t.data());
        parser.DefineVar("w", engine_->w.data());
        if (mode == Mode::values) {
            parser.DefineVar("x", engine_->x.data());
            parser.DefineVar("y", engine_->y.data());
        } else {
            parser.DefineVar("h", engine_->h.data());
        }
        parser.SetExpr(expression_);
        parser.Eval(); // parses now, so that every fault is found here
        if (parser.GetNumResults() > 1) {
            const int column = columnAt(listAt(expression));
            return fail(Problem::Kind::syntax, column,
                        "column " + std::to_string(column) +
                            ": found \",\": a formula is one expression, not a list");
        }
    } catch (const mu::Parser::exception_type& error) {
        const int position = error.GetPos();
        const int column = position < 0 ? columnAt(expression.size())
                                        : columnAt(static_cast<std::size_t>(position));
        const std::string& token = error.GetToken();
        if (error.GetCode() == mu::ecUNASSIGNABLE_TOKEN && isName(token)) {
            std::string message = "unknown name \"" +
                                  (token.size() > 40 ? token.substr(0, 40) + "..." : token) +
                                  "\" at column " + std::to_string(column);
            if (mode == Mode::harmonics && (token == "x" || token == "y")) {
                message += " (a harmonic's level knows h, t and w)";
            }
            return fail(Problem::Kind::unknownName, column, std::move(message));
        }
        return fail(Problem::Kind::syntax, column,
                    "column " + std::to_string(column) + ": " + reasonOf(error));
    } catch (const std::exception& error) {
        return fail(Problem::Kind::syntax, 1, std::string("column 1: ") + error.what());
    }
    return true;
}

bool WaveFormula::evaluate(std::span<const std::int16_t> bank, int first, int last,
                           std::vector<double>& out) {
    out.clear();
    if (problem_.kind == Problem::Kind::syntax || problem_.kind == Problem::Kind::unknownName) {
        return false;
    }
    problem_ = {};
    first = std::clamp(first, 0, slotCount - 1);
    last = std::clamp(last, first, slotCount - 1);
    const auto slots = static_cast<std::size_t>(last - first + 1);
    const std::size_t per = mode_ == Mode::values ? waveLength : harmonicCount;
    const std::size_t count = slots * per;
    Engine& e = *engine_;
    for (std::size_t s = 0; s < slots; ++s) {
        const double place = slots == 1 ? 0.0 : static_cast<double>(s) / double(slots - 1);
        const double number = first + static_cast<double>(s) + 1.0;
        std::fill_n(e.t.begin() + static_cast<std::ptrdiff_t>(s * per), per, place);
        std::fill_n(e.w.begin() + static_cast<std::ptrdiff_t>(s * per), per, number);
        for (std::size_t i = 0; i < per; ++i) {
            const std::size_t at = s * per + i;
            if (mode_ == Mode::values) {
                const std::size_t value = static_cast<std::size_t>(first) * waveLength + at;
                e.y[at] = value < bank.size() ? bank[value] / fullScale : 0.0;
            } else {
                e.h[at] = static_cast<double>(i + 1);
            }
        }
    }
    try {
        e.parser.Eval(e.results.data(), static_cast<int>(count));
    } catch (const mu::Parser::exception_type& error) {
        return fail(Problem::Kind::syntax, 1, "column 1: " + reasonOf(error));
    } catch (const std::exception& error) {
        return fail(Problem::Kind::syntax, 1, std::string("column 1: ") + error.what());
    }
    const auto bad = std::find_if(e.results.begin(), e.results.begin() + std::ptrdiff_t(count),
                                  [](double v) { return !std::isfinite(v); });
    if (bad != e.results.begin() + std::ptrdiff_t(count)) {
        const auto at = static_cast<std::size_t>(bad - e.results.begin());
        problem_.kind = Problem::Kind::notFinite;
        problem_.slot = first + static_cast<int>(at / per) + 1;
        problem_.value = mode_ == Mode::values ? static_cast<int>(at % per) + 1 : 1;
        char text[160];
        const double shown = std::isnan(*bad) ? std::abs(*bad) : *bad; // "nan", never "-nan"
        if (mode_ == Mode::values) {
            std::snprintf(text, sizeof text, "slot %d, value %d is not a finite number (%g)",
                          problem_.slot, problem_.value, shown);
        } else {
            std::snprintf(text, sizeof text,
                          "slot %d, value 1 is not a finite number (harmonic %d is %g)",
                          problem_.slot, static_cast<int>(at % per) + 1, shown);
        }
        problem_.message = text;
        return false;
    }
    out.resize(slots * waveLength);
    if (mode_ == Mode::values) {
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = fullScale * e.results[i];
        }
        return true;
    }
    // Each wave the sum of its harmonics' sines, from one table of a period's sine.
    std::array<double, waveLength> sine{};
    for (std::size_t i = 0; i < waveLength; ++i) {
        sine[i] = std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / double(waveLength));
    }
    for (std::size_t s = 0; s < slots; ++s) {
        double* wave = out.data() + s * waveLength;
        const double* levels = e.results.data() + s * per;
        for (std::size_t k = 1; k <= per; ++k) {
            const double level = fullScale * levels[k - 1];
            if (level == 0.0) {
                continue;
            }
            std::size_t phase = 0;
            for (std::size_t i = 0; i < waveLength; ++i) {
                wave[i] += level * sine[phase];
                phase = (phase + k) % waveLength;
            }
        }
    }
    return true;
}

bool WaveFormula::render(std::span<const std::int16_t> bank, int first, int last, Level level,
                         std::vector<std::int16_t>& out, std::size_t& clamped, double& gain) {
    std::vector<double>& values = engine_->unrounded;
    clamped = 0;
    gain = 1.0;
    if (!evaluate(bank, first, last, values)) {
        out.clear();
        return false;
    }
    out.resize(values.size());
    std::string error;
    if (!quantize(values, level, out, clamped, gain, error)) {
        out.clear();
        return fail(Problem::Kind::silence, 0, std::move(error));
    }
    return true;
}

bool WaveFormula::quantize(std::span<const double> values, Level level, std::span<std::int16_t> out,
                           std::size_t& clamped, double& gain, std::string& error) {
    WaveQuantizer quantizer;
    if (level.kind == Level::Kind::fit) {
        quantizer.gain = WaveQuantizer::fitGain(values);
    } else if (level.kind == Level::Kind::normalize) {
        double peak = 0.0;
        for (const double v : values) {
            peak = std::max(peak, std::abs(v));
        }
        if (peak == 0.0) {
            error = "the slots are silence: there is no peak to normalize";
            return false;
        }
        quantizer.gain = fullScale * std::pow(10.0, level.db / 20.0) / peak;
    }
    quantizer.apply(values, out);
    clamped = quantizer.clamped;
    gain = quantizer.gain;
    return true;
}

std::string WaveFormula::slotName(std::string_view expression, Mode mode) {
    const auto begin = expression.find_first_not_of(" \t");
    const auto end = expression.find_last_not_of(" \t");
    const std::string_view text = begin == std::string_view::npos
                                      ? std::string_view{}
                                      : expression.substr(begin, end - begin + 1);
    return mode == Mode::values ? std::string(text) : "harmonics " + std::string(text);
}

std::string_view WaveFormula::reference() {
    return "x: the phase, 0 to 1 over a wave; y: the value before, -1 to 1 (values only)\n"
           "t: 0 at the range's first slot, 1 at its last; w: the slot, 1 to 256\n"
           "h: the harmonic, 1 to 127 (harmonics only); pi, e\n"
           "sin cos tan asin acos atan atan2 sinh cosh tanh exp ln log log2 log10 sqrt abs sign\n"
           "rint min max sum avg; + - * / ^, < <= > >= == !=, && ||, c ? a : b\n"
           "frac floor ceil saw(p) tri(p) square(p) pulse(p, d) fold(v) clip(v) noise(n)";
}

double WaveFormula::fold(double v) {
    return tri(v / 4.0);
}
