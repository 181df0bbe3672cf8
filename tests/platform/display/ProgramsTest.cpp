// The two programs on an X server: each attaches the host at its start, so the analyzer's main window maps and
// goes on the desktop's close, and the set-up program's welcome box is answered with a click.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <X11/keysym.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WinDialogs.h"
#include "setup/Setup.h"
#include "setup/SetupResources.h"
#include "tests/support/FileText.h"
#include "tests/support/Pictures.h"
#include "tests/support/XScreen.h"
#include "windows.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tdl::test::FileText;
using tdl::test::WaitUntil;
using tdl::test::XScreen;

// A fresh folder, removed with what is in it afterwards.
struct Folder {
    explicit Folder(const std::string& name)
        : path(fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    fs::path path;
};

// How a program is started: on a quiet desktop (GTK's settings in memory, no accessibility bus looked for) or
// on the environment as a person's session gives it, and where its standard error goes (nowhere chosen: the
// test's).
struct Start {
    bool quietDesktop = true;
    std::string standardError;
};

// A program started with the test's environment and `extra` over it.
class Program {
public:
    Program(const std::string& path, const std::vector<std::string>& extra, const Start& start = {}) {
        std::vector<std::string> env = extra;
        if (start.quietDesktop) {
            env.push_back("GSETTINGS_BACKEND=memory");
            env.push_back("NO_AT_BRIDGE=1");
        }
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('=') + 1);
            bool overridden = !start.quietDesktop && name == "GSETTINGS_BACKEND=";
            for (const std::string& mine : env)
                overridden = overridden || mine.rfind(name, 0) == 0;
            if (!overridden)
                env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!start.standardError.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, start.standardError.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool Started() const { return m_pid > 0; }
    // The exit code once it ended within the limit; -1 when it did not (or did not exit).
    int ExitCode(std::chrono::seconds limit) {
        int status = 0;
        const bool ended = WaitUntil([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, limit);
        if (!ended)
            return -1;
        m_ended = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    bool m_ended = false;
};

// A program of a sanitized build started by hand: with no suppressions for the leak check but those it carries.
const char kByHand[] = "LSAN_OPTIONS=";

TEST(Programs, TheAnalyzerMapsItsMainWindowAndEndsOnTheDesktopsClose) {
    XScreen screen;
    ASSERT_TRUE(screen.IsOpen()) << "no X display: these tests run under xvfb-run";
    Folder state("tdl-host-analyzer");
    Program program(TDL_TINDALOFT_PROGRAM, {"TINDALOFT_STATE_DIR=" + state.path.string()});
    ASSERT_TRUE(program.Started());
    unsigned long window = 0;
    ASSERT_TRUE(WaitUntil([&] { return (window = screen.FindWindow(" - Tindaloft")) != 0; }, std::chrono::seconds(30)))
        << "the main window did not map";
    screen.Close(window);
    EXPECT_EQ(program.ExitCode(std::chrono::seconds(60)), 0);
}

// A person's session opens the file chooser from the analyzer (Ctrl+O) and cancels it: GTK's settings stay in
// the program, so nothing is written to the terminal.
TEST(Programs, TheFileChooserWritesNothingToTheTerminal) {
    XScreen screen;
    ASSERT_TRUE(screen.IsOpen()) << "no X display: these tests run under xvfb-run";
    Folder state("tdl-host-chooser");
    const fs::path errors = state.path / "stderr.txt";
    Program program(TDL_TINDALOFT_PROGRAM, {"TINDALOFT_STATE_DIR=" + state.path.string(), kByHand},
                    Start{false, errors.string()});
    ASSERT_TRUE(program.Started());
    unsigned long window = 0;
    ASSERT_TRUE(WaitUntil([&] { return (window = screen.FindWindow(" - Tindaloft")) != 0; }, std::chrono::seconds(30)))
        << "the main window did not map";
    ASSERT_TRUE(screen.ReadyForKeys(window));
    screen.KeyWith(XK_Control_L, XK_o);
    unsigned long chooser = 0;
    ASSERT_TRUE(WaitUntil([&] { return (chooser = screen.FindWindow("Open")) != 0; }, std::chrono::seconds(30)))
        << "the file chooser did not show";
    ASSERT_TRUE(screen.ReadyForKeys(chooser));
    screen.Key(XK_Escape);
    EXPECT_TRUE(WaitUntil([&] { return screen.FindWindow("Open") == 0; })) << "the chooser stays";
    screen.Close(window);
    EXPECT_EQ(program.ExitCode(std::chrono::seconds(60)), 0);
    EXPECT_EQ(FileText(errors), "");
}

// Where a button of the welcome box (Yes 1, No 2) lies in its client area, as the dialog manager lays it out.
POINT WelcomeButtonCentre(int id) {
    HMODULE self = GetModuleHandleA(nullptr);
    RegisterSetupResources(self);
    HWND dialog = CreateDialogParamA(self, MAKEINTRESOURCEA(IDD_WELCOME), nullptr, WelcomeDlgProc, 0);
    RECT button{};
    GetWindowRect(GetDlgItem(dialog, id), &button);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
    DestroyWindow(dialog);
    return {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
}

// Waits for the set-up program's welcome box on the screen and clicks its button `id`.
void AnswerWelcomeBox(XScreen& screen, int id) {
    const POINT button = WelcomeButtonCentre(id);
    unsigned long box = 0;
    ASSERT_TRUE(WaitUntil([&] { return (box = screen.FindWindow("Tindaloft Setup")) != 0; }, std::chrono::seconds(30)))
        << "the welcome box did not show";
    ASSERT_TRUE(screen.Settled(box));
    const RECT shown = screen.WindowRect(box); // the box's client area
    screen.Click({shown.left + button.x, shown.top + button.y});
}

TEST(Programs, TheSetUpProgramsWelcomeBoxAnsweredNoEndsItWithNothingWritten) {
    XScreen screen;
    ASSERT_TRUE(screen.IsOpen()) << "no X display: these tests run under xvfb-run";
    Folder state("tdl-host-setup-state"), temp("tdl-host-setup-temp");
    const fs::path errors = state.path / "stderr.txt";
    Program program(TDL_SETUP_PROGRAM,
                    {"TINDALOFT_STATE_DIR=" + state.path.string(), "TMPDIR=" + temp.path.string(), kByHand},
                    Start{true, errors.string()});
    ASSERT_TRUE(program.Started());
    ASSERT_NO_FATAL_FAILURE(AnswerWelcomeBox(screen, IDCANCEL));
    EXPECT_EQ(program.ExitCode(std::chrono::seconds(30)), 0);
    EXPECT_TRUE(fs::is_empty(temp.path)) << "something was unpacked";
    EXPECT_FALSE(fs::exists(state.path / "Windows" / "Downloaded Installations")) << "something was cached";
    EXPECT_EQ("", FileText(errors));
}

TEST(Programs, TheSetUpProgramAnsweredYesCachesThePackageAndTheInstallerSaysItCompleted) {
    XScreen screen;
    ASSERT_TRUE(screen.IsOpen()) << "no X display: these tests run under xvfb-run";
    Folder state("tdl-host-setup-yes-state"), temp("tdl-host-setup-yes-temp");
    const fs::path errors = state.path / "stderr.txt";
    Program program(TDL_SETUP_PROGRAM,
                    {"TINDALOFT_STATE_DIR=" + state.path.string(), "TMPDIR=" + temp.path.string(), kByHand},
                    Start{true, errors.string()});
    ASSERT_TRUE(program.Started());
    ASSERT_NO_FATAL_FAILURE(AnswerWelcomeBox(screen, IDOK));

    // The installer's box, titled with the product's name, once the welcome box has gone.
    unsigned long box = 0;
    ASSERT_TRUE(WaitUntil(
        [&] { return screen.FindWindow("Tindaloft Setup") == 0 && (box = screen.FindWindow("Tindaloft")) != 0; },
        std::chrono::seconds(30)))
        << "the installer said nothing";
    ASSERT_TRUE(screen.Settled(box));
    const RECT boxRect = screen.WindowRect(box);
    XScreen::SavePng(screen.Read(boxRect), boxRect.right - boxRect.left,
                     tdl::test::PicturePath("setup_installation_completed.png"));
    const fs::path cached = state.path / "Windows" / "Downloaded Installations" /
                            "{5A1C2F4E-7B3D-4E8A-9C61-0D2B7F3E9A14}" / "Tindaloft.msi";
    EXPECT_TRUE(fs::is_regular_file(cached)) << "the package is not where the README says";
    ASSERT_TRUE(screen.ReadyForKeys(box));
    screen.Key(XK_Return);
    EXPECT_EQ(program.ExitCode(std::chrono::seconds(30)), 0);
    EXPECT_TRUE(fs::is_empty(temp.path)) << "the unpacked folder stayed";
    EXPECT_EQ("", FileText(errors)) << "the program reported on its standard error";
}

} // namespace
