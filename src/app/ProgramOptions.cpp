#include "app/ProgramOptions.h"

#include <cstdio>
#include <cstring>

namespace {

const char Help[] = "usage: zevo [--help] [--version]\n"
                    "The one-window console for VX730K attendance terminals: it reaches a terminal\n"
                    "over a serial port (COM1 to COM8) or TCP, collects its records and roster, and\n"
                    "sets it up, one button at a time.\n"
                    "\n"
                    "  -h, --help     this text\n"
                    "  -v, --version  the console's version\n"
                    "\n"
                    "Its files are kept in the program's folder when that can be written, else in\n"
                    "~/.local/share/zevo; the device link's settings (AttLink.ini) beside them or\n"
                    "in ~/.config/zevo. attctl does the same from a shell and collects whole fleets\n"
                    "into a database: man zevo, man attctl.\n";

bool is(const char *arg, const char *shortName, const char *longName)
{
    return std::strcmp(arg, shortName) == 0 || std::strcmp(arg, longName) == 0;
}

}  // namespace

std::optional<int> answerWithoutWindow(int argc, const char *const *argv, const char *version)
{
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-h", "--help")) {
            std::fputs(Help, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (is(argv[i], "-v", "--version")) {
            std::printf("zevo %s\n", version);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return std::nullopt;
}
