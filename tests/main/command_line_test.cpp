// The window program's command line: --help and --version answer without a
// display, and a command line it cannot use is refused with the usage.

#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include "env_guard.h"
#include "test_files.h"

#ifdef FRAMELOOP_PROGRAM

namespace {

TEST(CommandLine, HelpVersionAndMistakes) {
    EnvGuard env;
    env.Unset("DISPLAY");
    env.Unset("WAYLAND_DISPLAY");
    env.Set("QT_QPA_PLATFORM", "xcb"); // would fail at once if a window were made
    const struct {
        QStringList args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{"--help"}, 0, "Usage: frameloop [options] [FILE.gif]"},
        {{"-h"}, 0, "opens that animated GIF for editing"},
        {{"--version"}, 0, "Version"},
        {{"a.gif", "b.gif"}, 2, "one file at a time"},
        {{"--no-such-option"}, 2, "no-such-option"},
    };
    for (const auto& c : cases) {
        const testing_support::ProcessResult run =
            testing_support::RunProgram(FRAMELOOP_PROGRAM, c.args);
        const QString both = QString::fromUtf8(run.out + run.err);
        EXPECT_FALSE(run.crashed) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(both.contains(c.says, Qt::CaseInsensitive))
            << c.args.join(' ').toStdString() << ": " << both.toStdString();
    }
}

} // namespace

#endif
