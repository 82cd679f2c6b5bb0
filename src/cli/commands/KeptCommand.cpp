#include "cli/commands/KeptCommand.h"

#include "files/BankFile.h"
#include "kept/WorkFolder.h"
#include "kept/WorkKeeper.h"
#include "kept/WorkReader.h"

#include <ostream>

std::span<const CliOption> KeptCommand::options() {
    return {};
}

int KeptCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse({}, 3);
    const std::string verb = parsed.positional(0).empty() ? "list" : parsed.positional(0);
    const std::string id = parsed.positional(1);
    const std::string file = parsed.positional(2);
    if (args.ok()) {
        if (verb != "list" && verb != "save" && verb != "remove") {
            args.fail("'" + verb + "' is none of list, save and remove");
        } else if (verb == "list" && !id.empty()) {
            args.fail("unexpected '" + id + "'");
        } else if (verb != "list" && id.empty()) {
            args.fail(verb + " takes the ID of a kept state");
        } else if (verb == "save" && file.empty()) {
            args.fail("save takes an ID and a FILE to write");
        } else if (verb == "remove" && !file.empty()) {
            args.fail("unexpected '" + file + "'");
        }
    }
    if (!args.ok()) {
        return context_.usage(args);
    }
    const WorkFolder folder(WorkFolder::defaultPath());
    if (folder.path().empty()) {
        return context_.failure("kept", "neither XDG_STATE_HOME nor HOME names a folder");
    }
    std::string error;
    if (verb == "list") {
        for (const WorkFolder::State& state : folder.states()) {
            const WorkKeeper::Listed listed = WorkKeeper::describe(folder, state);
            const WorkKeeper::Row row = WorkKeeper::row(listed);
            context_.out << row.id << '\t' << row.when << '\t';
            if (!row.reads) {
                context_.out << row.ending << '\n';
                continue;
            }
            context_.out << WorkReader::name(listed.ending) << '\t' << listed.changed.size() << '\t'
                         << row.steps << '\n';
        }
        return cliOk;
    }
    const std::optional<WorkFolder::State> state = folder.find(id);
    if (!state) {
        return context_.failure("kept", "no kept state " + id + " in " + folder.path().string());
    }
    if (verb == "remove") {
        if (!folder.remove(id, error)) {
            return context_.failure("kept", id + ": " + error);
        }
        return cliOk;
    }
    if (!state->damaged.empty()) {
        return context_.failure("kept", id + " does not read: " + state->damaged);
    }
    const WorkReader::State read = WorkReader::read(folder, *state);
    if (!read.ok) {
        return context_.failure("kept", id + " does not read: " + read.error);
    }
    if (!BankFile::save(file, read.document->banks(), -1, error)) {
        return context_.failure("kept", error);
    }
    return cliOk;
}
