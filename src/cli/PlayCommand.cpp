#include "cli/PlayCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliBanks.h"
#include "cli/SignalWatcher.h"
#include "device/DvVaneto.h"
#include "playback/PreviewPlayer.h"
#ifdef VANETO_HAVE_ALSA
#include "playback/alsa/AlsaPcmOutput.h"
#endif

#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

int PlayCommand::run(CliArguments& args) {
    using Takes = CliOption::Takes;
    static constexpr CliOption options[] = {
        bankOption(),
        {.name = "--device", .takes = Takes::text},
    };
    const CliParse parsed = args.parse(options, 1);
    const std::string source = parsed.positional(0);
    const std::optional<int> bank = parsed.number("--bank");
    const std::string device = parsed.word("--device").value_or("default");
    if (args.ok() && source.empty()) {
        args.fail("no bank file or audio file given");
    } else if (args.ok() && !bank) {
        args.fail("--bank N is required");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }

    auto store = std::make_unique<DvVaneto>();
    std::string error;
    if (CliBanks::loadSource(source, *store, *bank - 1, error) != CliBanks::SourceResult::ok) {
        return context_.failure("play", error);
    }

#ifdef VANETO_HAVE_ALSA
    PreviewPlayer player(std::make_shared<AlsaPcmOutput>(device));
#else
    PreviewPlayer player(nullptr);
#endif
    const auto values = store->bankData(*bank - 1);
    if (!player.start(std::vector<std::int16_t>(values.begin(), values.end()))) {
        return context_.failure("play", "cannot start playing");
    }
    int signal = 0;
    {
        SignalWatcher watcher([&player, &signal](int number) {
            signal = number;
            player.stop();
        });
        while (player.isPlaying()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    player.stop();
    if (signal != 0) {
        return cliInterrupted;
    }
    if (!player.failure().empty()) {
        return context_.failure("play", player.failure());
    }
    return cliOk;
}
