// frameloop-cli: the engine's operations without a window.
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "cli/frames_command.h"
#include "cli/make_gif_command.h"
#include "cli/record_command.h"

namespace {

// One row per command: its name, its lines of the usage text and how it runs
// (given the arguments after the name). A new command is one more row.
struct Command {
    const char* name;
    const char* usage;
    int (*run)(std::span<char* const> args);
};

QStringList ArgumentList(std::span<char* const> args) {
    QStringList list;
    for (const char* arg : args)
        list << QString::fromLocal8Bit(arg);
    return list;
}

int RunMakeGifCommand(std::span<char* const> args) {
    return RunMakeGif(ArgumentList(args));
}
int RunRecordCommand(std::span<char* const> args) {
    return RunRecord(ArgumentList(args));
}

std::span<const Command> Commands() {
    static const Command commands[] = {
        {"frames", kFramesUsage, RunFrames},
        {"make-gif", kMakeGifUsage, RunMakeGifCommand},
        {"record", kRecordUsage, RunRecordCommand},
    };
    return commands;
}

std::string Usage() {
    std::string text = "Usage: frameloop-cli COMMAND [ARGS]\n\nCommands:\n";
    for (const Command& command : Commands())
        text += command.usage;
    text += "\nOptions:\n"
            "  -h, --help   Show this help and exit\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    const char* const name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }
    for (const Command& command : Commands()) {
        if (std::strcmp(name, command.name) == 0)
            return command.run(std::span<char* const>(argv + 2, std::size_t(argc - 2)));
    }
    std::fprintf(stderr, "frameloop-cli: unknown command '%s'\n", name);
    std::fputs(Usage().c_str(), stderr);
    return 2;
}
