#include "cli/MakeCommand.h"

#include "app/BankFile.h"
#include "cli/CliArguments.h"
#include "cli/CliBanks.h"
#include "device/DvVaneto.h"

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
};

} // namespace

int MakeCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(options, 1);
    const std::string out = parsed.positional(0);
    const int single = parsed.number("--single").value_or(0) - 1;
    std::vector<Step> steps;
    for (const CliParse::Use& use : parsed.uses) {
        if (use.option == "--from") {
            steps.push_back(Step{Step::from, -1, use.word});
        } else if (use.option != "--single") {
            const Step::Kind kind = use.option == "--bank"   ? Step::import
                                    : use.option == "--name" ? Step::name
                                                             : Step::sampleName;
            steps.push_back(Step{kind, use.number - 1, use.word});
        }
    }
    if (args.ok() && out.empty()) {
        args.fail("no output file given");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }

    auto store = std::make_unique<DvVaneto>();
    std::string error;
    for (const Step& step : steps) {
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
            if (!CliBanks::importAudio(step.text, *store, step.bank, error, &source)) {
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
        }
    }
    if (!BankFile::save(out, *store, single, error)) {
        return context_.failure("make", error);
    }
    return cliOk;
}
