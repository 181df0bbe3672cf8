// The program's entry file: the crash handler and the one application object, the single-instance mutex made
// before it runs, and the entry point.
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/app/SingleInstance.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/diagnostics/CrashDump.h"
#include "app/main/ProgramDesk.h"
#include "app/main/ProgramMain.h"

namespace {

// Before the application object runs, as on the platform: a second instance learns of the first at start.
const bool g_bSingleInstanceMutexCreated = (CreateSingleInstanceMutex(), true);

// The command line as the platform hands it over: the arguments after the program's name, joined by spaces,
// quoted when they hold one.
std::string CommandLineOf(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) {
            line += ' ';
        }
        line += arg.find(' ') != std::string::npos ? "\"" + arg + "\"" : arg;
    }
    return line;
}

} // namespace

// Before the application object, so that the handler is in place before anything of the program runs.
CCrashDump g_CrashDump;
CTindaloftApp theApp;

int main(int argc, char** argv) {
    // The desk's activities are the machine's business: the application never sees the option.
    std::vector<std::string> args(argv + 1, argv + argc);
    if (std::string error; !TakeDeskOption(args, error)) {
        std::fprintf(stderr, "Tindaloft: %s\n", error.c_str());
        CloseSingleInstanceMutex();
        return 2;
    }
    // With no way to show a window the program would idle unseen: it says so, and what runs without one.
    if (!AttachProgramDisplay()) {
        std::fputs("Tindaloft: no display to show the analyzer's windows on; bash scripts/run.sh runs a capture "
                   "session without one.\n",
                   stderr);
        CloseSingleInstanceMutex();
        return 2;
    }
    std::string line = CommandLineOf(args);
    const int nExitCode = TindaloftMain(line.data(), SW_SHOWNORMAL);
    CloseSingleInstanceMutex();
    return nExitCode;
}
