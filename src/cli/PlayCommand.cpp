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
    std::string source;
    std::optional<int> bank;
    std::string device = "default";
    while (!args.atEnd() && args.ok()) {
        const std::string word = args.next();
        if (word == "--bank") {
            bank = args.number(word, "bank", 1, 7);
        } else if (word == "--device") {
            if (const auto text = args.text(word)) {
                device = *text;
            }
        } else if (word.size() > 1 && word[0] == '-') {
            args.fail("unknown option '" + word + "'");
        } else if (source.empty()) {
            source = word;
        } else {
            args.fail("unexpected argument '" + word + "'");
        }
    }
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
