// frameloop-cli: the engine's operations without a window.
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "cli/cli_common.h"
#include "cli/frames_command.h"
#include "cli/make_gif_command.h"
#include "cli/record_command.h"
#include "image/text_rasterizer.h"
#include "main/composition_root.h"

namespace {

// One row per command: its name, its lines of the usage text and how it runs
// (given the arguments after the name). A new command is one more row.
struct Command {
    const char* name;
    const char* usage;
    int (*run)(std::span<char* const> args, const CliParts& parts);
};

QStringList ArgumentList(std::span<char* const> args) {
    QStringList list;
    for (const char* arg : args)
        list << QString::fromLocal8Bit(arg);
    return list;
}

int RunFramesCommand(std::span<char* const> args, const CliParts&) {
    return RunFrames(args);
}
int RunMakeGifCommand(std::span<char* const> args, const CliParts& parts) {
    return RunMakeGif(ArgumentList(args), parts.text);
}
int RunRecordCommand(std::span<char* const> args, const CliParts& parts) {
    return RunRecord(ArgumentList(args), parts);
}

std::span<const Command> Commands() {
    static const Command commands[] = {
        {"frames", kFramesUsage, RunFramesCommand},
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
        if (std::strcmp(name, command.name) != 0)
            continue;
        const std::unique_ptr<TextRasterizer> text = MakeTextRasterizer();
        const CliParts parts{ChooseScreenBackend(), *text};
        return command.run(std::span<char* const>(argv + 2, std::size_t(argc - 2)), parts);
    }
    std::fprintf(stderr, "frameloop-cli: unknown command '%s'\n", name);
    std::fputs(Usage().c_str(), stderr);
    return 2;
}
