#include "cli/commands/MakeCommand.h"

#include "files/AtomicFile.h"

#include "cli/CliArguments.h"
#include "cli/CliBanks.h"
#include "device/DvVaneto.h"
#include "files/BankFile.h"
#include "wavetable/WaveOperations.h"
#include "wavetable/WavetableImport.h"
#include "wavetable/WavetableSource.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

using Takes = CliOption::Takes;
constexpr CliOption options[] = {
    {.name = "--from", .takes = Takes::value},
    bankOption("--bank", Takes::numberThenValue, "an audio file"),
    bankOption("--name", Takes::numberThenText),
    bankOption("--sample-name", Takes::numberThenText),
    bankOption("--single", Takes::number, {}, true),
    bankOption("--waves"),
    bankOption("--one-sample"),
    slotOption("--slot", Takes::numbersThenValue, "an audio file"),
    bankOption("--table", Takes::numberThenValue, "an audio file or folder"),
    slotOption("--slot-name", Takes::numbersThenText),
    {.name = "--frame",
     .takes = Takes::number,
     .what = "frame size",
     .first = 2,
     .last = static_cast<int>(WavetableSource::longestCycle)},
    {.name = "--first-slot", .takes = Takes::number, .what = "slot", .first = 1, .last = 256},
    {.name = "--spread"},
    {.name = "--fit"},
    {.name = "--start", .takes = Takes::text},
    {.name = "--end", .takes = Takes::text},
    {.name = "--resynth", .takes = Takes::optionalAttached},
    {.name = "--report", .takes = Takes::value},
    {.name = "--gain", .takes = Takes::text},
    bankOption("--formula", Takes::numberThenText),
    bankOption("--harmonics", Takes::numberThenText),
    bankOption("--op", Takes::numberThenText),
    {.name = "--slots", .takes = Takes::value},
    {.name = "--normalize", .takes = Takes::optionalAttached},
};

bool isModifier(std::string_view option) {
    return option == "--frame" || option == "--first-slot" || option == "--spread" ||
           option == "--fit" || option == "--start" || option == "--gain" ||
           option == "--normalize" || option == "--end" || option == "--resynth" ||
           option == "--report" || option == "--slots";
}

bool isLevelOrPart(std::string_view option) {
    return option == "--start" || option == "--gain" || option == "--normalize";
}

// The peak level of --normalize[=DB]: 0 dB when none is given; a usage error (said through
// `args`) for anything but a level from -96 to 0 dB.
std::optional<double> normalizeLevel(const std::string& word, CliArguments& args) {
    char* end = nullptr;
    const double db = word.empty() ? 0.0 : std::strtod(word.c_str(), &end);
    if (!word.empty() && (*end != '\0' || !(db <= 0) || db < -96)) {
        args.fail("--normalize=DB takes a peak level from -96 to 0 dB, not '" + word + "'");
        return std::nullopt;
    }
    return db;
}

// A number of seconds: "12.5", or minutes and seconds "1:02.5". Nothing for anything else.
std::optional<double> seconds(const std::string& word) {
    const auto number = [](const std::string& text) -> std::optional<double> {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(value)) {
            return std::nullopt;
        }
        return value;
    };
    const auto colon = word.find(':');
    if (colon == std::string::npos) {
        return number(word);
    }
    const auto minutes = number(word.substr(0, colon));
    const auto rest = number(word.substr(colon + 1));
    if (!minutes || !rest || *rest < 0 || *rest >= 60 || *minutes != std::floor(*minutes)) {
        return std::nullopt;
    }
    return *minutes < 0 ? *minutes * 60 - *rest : *minutes * 60 + *rest;
}

} // namespace

std::vector<MakeCommand::Step> MakeCommand::steps(const std::vector<CliParse::Use>& uses,
                                                  CliArguments& args) {
    std::vector<Step> result;
    // The --slot or --table that the modifiers after it belong to, and those given for it.
    // SIZE_MAX while there is none.
    std::size_t import = SIZE_MAX;
    std::vector<std::string_view> given;
    for (const CliParse::Use& use : uses) {
        const std::string_view option = use.option;
        if (isModifier(option)) {
            if (import >= result.size()) {
                args.fail(std::string(option) +
                          (option == "--slots"
                               ? " belongs right after a --formula, --harmonics or --op"
                               : " belongs right after a --slot or --table"));
                break;
            }
            Step& target = result[import];
            if (target.kind == Step::formula || target.kind == Step::harmonics ||
                target.kind == Step::operation) {
                if (!shapingModifier(use, target, given, args)) {
                    break;
                }
                continue;
            }
            if (option == "--slots") {
                args.fail("--slots applies to --formula, --harmonics or --op");
                break;
            }
            // A table resynthesized takes its span: checked once its options are all known.
            const bool span =
                (option == "--start" || option == "--end") && target.kind == Step::table;
            if ((option == "--resynth" || option == "--end") && target.kind != Step::table) {
                args.fail(std::string(option) + " applies to --table");
                break;
            }
            if (span) {
                if (std::find(given.begin(), given.end(), option) != given.end()) {
                    args.fail(std::string(option) + " given twice for one import");
                    break;
                }
                given.push_back(option);
                const auto t = seconds(use.word);
                if (!t || *t < 0) {
                    args.fail(std::string(option) +
                              " must be a time in seconds (12.5 or 1:02.5) from 0 on, not '" +
                              use.word + "'");
                    break;
                }
                (option == "--start" ? target.start : target.end) = *t;
                continue;
            }
            if (option == "--report") {
                if (!target.resynth) {
                    args.fail("--report belongs right after --resynth");
                    break;
                }
                target.report = use.word;
                continue;
            }
            if (option == "--resynth") {
                if (use.word == "spectral") {
                    target.mode = WaveResynthesis::Mode::spectral;
                } else if (!use.word.empty() && use.word != "pitch") {
                    args.fail("--resynth takes pitch or spectral, not '" + use.word + "'");
                    break;
                }
                target.resynth = true;
                given.push_back(option);
                continue;
            }
            if (target.kind == Step::import && !isLevelOrPart(option)) {
                args.fail(std::string(option) + " applies to --slot or --table, not --bank");
                break;
            }
            if (target.kind != Step::import && isLevelOrPart(option)) {
                args.fail(std::string(option) + " applies to --bank, not --slot or --table");
                break;
            }
            if (target.kind == Step::cycle && option != "--fit") {
                args.fail(std::string(option) + " applies to --table, not --slot");
                break;
            }
            if (std::find(given.begin(), given.end(), option) != given.end()) {
                args.fail(std::string(option) + " given twice for one import");
                break;
            }
            given.push_back(option);
            if (option == "--start") {
                if (use.word == "auto") {
                    target.part.startAuto = true;
                } else if (const auto t = seconds(use.word); t && *t >= 0) {
                    target.part.startSeconds = *t;
                } else {
                    args.fail("--start must be a time in seconds (12.5 or 1:02.5) from 0 on, or "
                              "auto, not '" +
                              use.word + "'");
                    break;
                }
            } else if (option == "--gain") {
                char* end = nullptr;
                target.part.gainDb = std::strtod(use.word.c_str(), &end);
                if (use.word.empty() || *end != '\0' || !std::isfinite(target.part.gainDb) ||
                    std::abs(target.part.gainDb) > 96) {
                    args.fail("--gain must be a level in dB from -96 to 96, not '" + use.word +
                              "'");
                    break;
                }
            } else if (option == "--normalize") {
                const auto db = normalizeLevel(use.word, args);
                if (!db) {
                    break;
                }
                target.part.normalize = true;
                target.part.normalizeDb = *db;
            } else if (option == "--frame") {
                target.frameSize = static_cast<std::size_t>(use.number);
            } else if (option == "--first-slot") {
                target.firstSlot = use.number - 1;
            } else if (option == "--spread") {
                target.spread = true;
            } else {
                target.fit = true;
            }
            continue;
        }
        import = SIZE_MAX;
        given.clear();
        if (option == "--single") {
            continue;
        }
        Step step;
        step.bank = use.number - 1;
        step.text = use.word;
        step.slot = use.second - 1;
        step.kind = option == "--from"          ? Step::from
                    : option == "--bank"        ? Step::import
                    : option == "--name"        ? Step::name
                    : option == "--sample-name" ? Step::sampleName
                    : option == "--waves"       ? Step::waves
                    : option == "--one-sample"  ? Step::oneSample
                    : option == "--slot"        ? Step::cycle
                    : option == "--table"       ? Step::table
                    : option == "--formula"     ? Step::formula
                    : option == "--harmonics"   ? Step::harmonics
                    : option == "--op"          ? Step::operation
                                                : Step::slotName;
        using Shape = WaveShaper::Request::Kind;
        step.shaping.kind = step.kind == Step::formula     ? Shape::formula
                            : step.kind == Step::harmonics ? Shape::harmonics
                                                           : Shape::operation;
        step.shaping.expression = step.text;
        if (step.kind == Step::formula || step.kind == Step::harmonics) {
            // A formula that does not read is a usage error, found before anything is made.
            WaveFormula formula;
            if (!formula.compile(step.text, step.kind == Step::formula
                                                ? WaveFormula::Mode::values
                                                : WaveFormula::Mode::harmonics)) {
                args.fail(std::string(option) + " " + std::to_string(use.number) + ": " +
                          formula.problem().message);
                break;
            }
        } else if (step.kind == Step::operation) {
            std::string error;
            const auto ramp = RampedOperation::parse(step.text, error);
            if (!ramp) {
                args.fail("--op " + std::to_string(use.number) + ": " + error);
                break;
            }
            step.shaping.operation = *ramp;
        }
        result.push_back(std::move(step));
        if (result.back().kind == Step::cycle || result.back().kind == Step::table ||
            result.back().kind == Step::import || result.back().kind == Step::formula ||
            result.back().kind == Step::harmonics || result.back().kind == Step::operation) {
            import = result.size() - 1;
        }
    }
    for (const Step& step : result) {
        if (!args.ok() || step.kind != Step::table) {
            continue;
        }
        if (!step.resynth && (step.start || step.end)) {
            args.fail("--start and --end apply to --bank, or to --table with --resynth");
        } else if (step.resynth && (step.frameSize != 0 || step.spread || step.fit)) {
            args.fail("--resynth makes its own frames: not with --frame, --spread or --fit");
        } else if (step.resynth && std::filesystem::is_directory(step.text)) {
            args.fail("--resynth takes one recording, not a folder");
        } else if (step.start && step.end && *step.start >= *step.end) {
            args.fail("--start must come before --end");
        }
    }
    return result;
}

bool MakeCommand::shapingModifier(const CliParse::Use& use, Step& target,
                                  std::vector<std::string_view>& given, CliArguments& args) {
    const std::string option(use.option);
    const bool formula = target.kind != Step::operation;
    if (option != "--slots" && !(formula && (option == "--fit" || option == "--normalize"))) {
        args.fail(option + (formula ? " does not apply to --formula or --harmonics"
                                    : " does not apply to --op"));
        return false;
    }
    const bool level = option == "--fit" || option == "--normalize";
    if (std::find(given.begin(), given.end(), level ? "level" : "--slots") != given.end()) {
        args.fail(level ? "--fit and --normalize: one of them, once, for one formula"
                        : "--slots given twice for one step");
        return false;
    }
    given.push_back(level ? "level" : "--slots");
    if (option == "--fit") {
        target.shaping.level.kind = WaveFormula::Level::Kind::fit;
        return true;
    }
    if (option == "--normalize") {
        const auto db = normalizeLevel(use.word, args);
        if (db) {
            target.shaping.level = {WaveFormula::Level::Kind::normalize, *db};
        }
        return db.has_value();
    }
    // A-B, or one slot A.
    const auto dash = use.word.find('-', 1);
    const auto slot = [](const std::string& text) {
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        return !text.empty() && *end == '\0' && value >= 1 && value <= 256 ? static_cast<int>(value)
                                                                           : 0;
    };
    const int first = slot(use.word.substr(0, dash));
    const int last = dash == std::string::npos ? first : slot(use.word.substr(dash + 1));
    if (first == 0 || last == 0 || last < first) {
        args.fail("--slots takes a range of slots A-B, from 1 to 256 and A at most B, not '" +
                  use.word + "'");
        return false;
    }
    target.shaping.first = first - 1;
    target.shaping.last = last - 1;
    return true;
}

bool MakeCommand::shapeWaves(const Step& step, DvVaneto& store) const {
    WaveShaper shaper;
    const WaveShaper::Result result = shaper.shape(store.bankData(step.bank), step.shaping);
    if (!result.ok) {
        context_.failure("make",
                         "bank " + std::to_string(step.bank + 1) + ": " + result.problem.message);
        return false;
    }
    WaveShaper::place(step.shaping, result, store, step.bank);
    const std::string remark = WaveShaper::remark(result);
    context_.err << "vaneto make: bank " << step.bank + 1 << ": "
                 << WaveShaper::describe(step.shaping) << " into "
                 << WaveOperations::describeSlots(step.shaping.first, step.shaping.last)
                 << (remark.empty() ? "" : ", ") << remark
                 << (result.clamped != 0 && step.kind != Step::operation ? " (--fit scales instead)"
                                                                         : "");
    context_.err << '\n';
    return true;
}

bool MakeCommand::resynthesize(const Step& step, DvVaneto& store,
                               std::vector<std::pair<std::string, std::string>>& reports) const {
    WaveResynthesis::Options options;
    options.mode = step.mode;
    options.firstSlot = step.firstSlot;
    options.start = step.start;
    options.end = step.end;
    const WaveResynthesis::Result result = WaveResynthesis::make(step.text, options);
    if (!result.ok) {
        context_.failure("make", result.error);
        return false;
    }
    WavetableImport::Options placing;
    placing.firstSlot = result.firstSlot;
    WavetableImport::place(result.waves, result.names, store, step.bank, placing);
    context_.err << "vaneto make: bank " << step.bank + 1 << ": " << result.summary() << '\n';
    if (!step.report.empty()) {
        std::string text = "slot\tseconds\thz\tfit\n";
        for (std::size_t k = 0; k < result.moments.size(); ++k) {
            char line[96];
            const double fit = k < result.fit.size() ? result.fit[k] : 0.0;
            std::snprintf(line, sizeof line, "%d\t%.3f\t%.2f\t",
                          result.firstSlot + static_cast<int>(k) + 1, result.moments[k],
                          result.hertz[k]);
            text += line;
            if (std::isnan(fit)) {
                text += "-\n";
            } else {
                std::snprintf(line, sizeof line, "%.3f\n", fit);
                text += line;
            }
        }
        reports.emplace_back(step.report, std::move(text));
    }
    return true;
}

bool MakeCommand::importWaves(const Step& step, DvVaneto& store) const {
    WavetableImport::Result result;
    if (step.kind == Step::cycle) {
        result = WavetableImport::importCycle(step.text, store, step.bank, step.slot, step.fit);
    } else {
        WavetableImport::Options options;
        options.frameSize = step.frameSize;
        options.firstSlot = step.firstSlot;
        options.spread = step.spread;
        options.fit = step.fit;
        result = WavetableImport::importTable(step.text, store, step.bank, options);
    }
    for (const std::string& skipped : result.skipped) {
        context_.err << "vaneto make: skipped " << skipped << '\n';
    }
    using Remedy = WavetableImport::Result::Remedy;
    if (!result.ok) {
        const char* remedy = result.remedy == Remedy::statedFrameSize ? ": give it with --frame N"
                             : result.remedy == Remedy::oneCycle
                                 ? ": give it to --slot as one cycle, or a smaller --frame"
                                 : "";
        context_.failure("make", result.error + remedy);
        return false;
    }
    for (const std::string& note : result.notes) {
        const bool clampedNote = result.clamped != 0 && !step.fit && note.ends_with("clamped");
        context_.err << "vaneto make: bank " << step.bank + 1 << ": " << note
                     << (clampedNote ? " (--fit scales instead)" : "") << '\n';
    }
    return true;
}

std::span<const CliOption> MakeCommand::options() {
    return ::options;
}

int MakeCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(::options, 1);
    const std::string out = parsed.positional(0);
    const int single = parsed.number("--single").value_or(0) - 1;
    std::vector<Step> plan;
    if (args.ok()) {
        plan = steps(parsed.uses, args);
    }
    if (args.ok() && out.empty()) {
        args.fail("no output file given");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }

    auto store = std::make_unique<DvVaneto>();
    std::string error;
    std::vector<std::pair<std::string, std::string>> reports;
    for (const Step& step : plan) {
        switch (step.kind) {
        case Step::from: {
            std::vector<int> banks;
            std::string warning;
            if (!CliBanks::loadBankFile(step.text, *store, banks, error, warning)) {
                return context_.failure("make", error);
            }
            if (!warning.empty()) {
                context_.err << "vaneto make: " << warning << '\n';
            }
            break;
        }
        case Step::import: {
            std::string source;
            if (!CliBanks::importAudio(step.text, *store, step.bank, error, &source, step.part)) {
                return context_.failure("make", error);
            }
            context_.err << "vaneto make: bank " << step.bank + 1 << ": " << step.text << ": "
                         << source << '\n';
            break;
        }
        case Step::name:
            store->setBankName(step.text, step.bank);
            break;
        case Step::sampleName:
            store->setSampleName(step.text, step.bank, 0);
            break;
        case Step::waves:
            store->setSingleSample(step.bank, false);
            break;
        case Step::oneSample:
            store->setSingleSample(step.bank, true);
            break;
        case Step::cycle:
        case Step::table:
            if (step.resynth ? !resynthesize(step, *store, reports) : !importWaves(step, *store)) {
                return cliFailed;
            }
            break;
        case Step::slotName:
            store->setSampleName(step.text, step.bank, step.slot);
            break;
        case Step::formula:
        case Step::harmonics:
        case Step::operation:
            if (!shapeWaves(step, *store)) {
                return cliFailed;
            }
            break;
        }
    }
    for (const Step& step : plan) {
        if (step.kind == Step::slotName && step.slot > 0 && store->isSingleSample(step.bank)) {
            context_.err << "vaneto make: bank " << step.bank + 1 << " holds one sample: the name "
                         << "of slot " << step.slot + 1 << " is not saved (--waves "
                         << step.bank + 1 << " keeps it)\n";
        }
    }
    if (!BankFile::save(out, *store, single, error)) {
        return context_.failure("make", error);
    }
    // The reports once the bank file is whole, each replacing its file at once.
    for (const auto& [path, text] : reports) {
        if (!AtomicFile::write(path, text, error)) {
            return context_.failure("make", error);
        }
    }
    return cliOk;
}
