// frameloop-cli: the engine's operations without a window.
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: frameloop-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  frames INPUT.gif OUTDIR [--format png|bmp|jpg]\n"
    "      Write every frame of a GIF, composed as the import sees it, to\n"
    "      OUTDIR/frame-0001.png, ...\n"
    "\n"
    "Options:\n"
    "  -h, --help   Show this help and exit\n";

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
