#include "cli/commands/PlayCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliBanks.h"
#include "cli/SignalWatcher.h"
#include "device/DvVaneto.h"
#include "playback/PreviewPlayer.h"
#include "wavetable/WaveTone.h"
#ifdef VANETO_HAVE_ALSA
#include "playback/alsa/AlsaPcmOutput.h"
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Takes = CliOption::Takes;
constexpr CliOption commandOptions[] = {
    bankOption(),
    {.name = "--device", .takes = Takes::text},
    {.name = "--slot", .takes = Takes::number, .what = "slot", .first = 1, .last = 256},
    {.name = "--note", .takes = Takes::value},
    {.name = "--seconds", .takes = Takes::value},
};

} // namespace

std::span<const CliOption> PlayCommand::options() {
    return commandOptions;
}

int PlayCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(commandOptions, 1);
    const std::string source = parsed.positional(0);
    const std::optional<int> bank = parsed.number("--bank");
    const std::string device = parsed.word("--device").value_or("default");
    const std::optional<int> slot = parsed.number("--slot");
    const std::optional<int> note = WaveTone::parseNote(parsed.word("--note").value_or("A3"));
    double seconds = 2.0;
    if (const auto word = parsed.word("--seconds")) {
        char* end = nullptr;
        seconds = std::strtod(word->c_str(), &end);
        if (args.ok() && (word->empty() || *end != '\0' || !(seconds > 0) || seconds > 600)) {
            args.fail("--seconds must be a number above 0, at most 600, not '" + *word + "'");
        }
    }
    if (args.ok() && !note) {
        args.fail("--note must be a note name such as A3, C#4 or Bb2, or a MIDI note 0 to 127, "
                  "not '" +
                  parsed.word("--note").value_or("") + "'");
    }
    if (args.ok() && !slot && (parsed.given("--note") || parsed.given("--seconds"))) {
        args.fail(std::string(parsed.given("--note") ? "--note" : "--seconds") +
                  " applies to a wave: give --slot S");
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
    std::vector<std::int16_t> sound(values.begin(), values.end());
    if (slot) {
        constexpr std::size_t waveLength = DvVaneto::waveLength;
        const double frequency = WaveTone::frequencyOf(*note);
        sound = WaveTone::render(
            values.subspan(static_cast<std::size_t>(*slot - 1) * waveLength, waveLength), frequency,
            seconds);
        char line[120];
        std::snprintf(line, sizeof line, "vaneto play: bank %d slot %d at MIDI note %d, %.2f Hz\n",
                      *bank, *slot, *note, frequency);
        context_.err << line;
    }
    if (!player.start(std::move(sound))) {
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
