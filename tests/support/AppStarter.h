// Starting the application object as the program does, many times in one test process: the program's
// resources, a single-instance mutex of the test's own (in a state folder of this process, so that test
// processes running side by side do not see each other's), the command line, and a clean end (the main
// window and the documents go before the application object).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "WinUiControl.h"
#include "app/core/app/TindaloftApp.h"

class CMainFrame;

namespace apptest {

class AppStarter {
public:
    AppStarter();
    ~AppStarter();
    AppStarter(const AppStarter&) = delete;
    AppStarter& operator=(const AppStarter&) = delete;

    // A new application object with this command line (the arguments after the program's name).
    CTindaloftApp& Make(const std::string& commandLine = "");
    CTindaloftApp& App() { return *m_app; }
    // InitInstance; ExitInstance as the framework's entry runs it after a failed or ended start.
    BOOL Start() { return m_app->InitInstance(); }
    int Exit() { return m_app->ExitInstance(); }
    CMainFrame* MainFrame() const;

    // The end of the main window posts the end of the message loop; a test thread that goes on takes it off its
    // queue, where it would hold back every message and timer behind it.
    static void TakeQuit();

    // The message boxes shown since the last call, in order.
    static std::vector<win32::ModalRequest> TakeBoxes();
    static std::vector<std::string> TakeBoxTexts();

private:
    void Finish();

    std::unique_ptr<CTindaloftApp> m_app;
};

} // namespace apptest
