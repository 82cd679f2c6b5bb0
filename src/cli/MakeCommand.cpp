#include "cli/MakeCommand.h"

#include "app/BankFile.h"
#include "cli/CliArguments.h"
#include "cli/CliBanks.h"
#include "device/DvVaneto.h"

#include <memory>
#include <optional>

int MakeCommand::run(CliArguments& args) {
    std::string out;
    std::vector<Step> steps;
    int single = -1;
    while (!args.atEnd() && args.ok()) {
        const std::string word = args.next();
        if (word == "--from") {
            if (const auto file = args.value(word)) {
                steps.push_back(Step{Step::from, -1, *file});
            }
        } else if (word == "--bank" || word == "--name" || word == "--sample-name") {
            const std::optional<int> bank = args.number(word, "bank", 1, 7);
            const bool fileMissing =
                word == "--bank" && bank &&
                (args.atEnd() ||
                 (args.peek().size() > 1 && args.peek()[0] == '-' && args.peek() != "-"));
            if (fileMissing) {
                args.fail("an audio file is missing after --bank " + std::to_string(*bank));
            }
            const std::optional<std::string> text =
                bank && !fileMissing ? (word == "--bank" ? args.value(word) : args.text(word))
                                     : std::nullopt;
            if (text) {
                const Step::Kind kind = word == "--bank"   ? Step::import
                                        : word == "--name" ? Step::name
                                                           : Step::sampleName;
                steps.push_back(Step{kind, *bank - 1, *text});
            }
        } else if (word == "--single") {
            if (single >= 0) {
                args.fail("--single given twice");
            } else if (const auto bank = args.number(word, "bank", 1, 7)) {
                single = *bank - 1;
            }
        } else if (word.size() > 1 && word[0] == '-') {
            args.fail("unknown option '" + word + "'");
        } else if (out.empty()) {
            out = word;
        } else {
            args.fail("unexpected argument '" + word + "'");
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
