// The whole program on the default simulated machine with the capture driver, driven as a user drives it and
// read back as a user sees it, headless: the application object started as the program starts it, its main
// window shown (each pane's window made by its first show), the virtual clock, a strict modal service
// (requests nobody scripted fail the test). At the end the program ends as the framework ends it (the main
// window closed, the application's exit), no window is left and the count of GDI objects is back.
//
// The vocabulary is a user's: a pane by its id, a control by a path of ids, a click in the rectangle a control
// reports, keys, commands, menu-bar choices, answers scripted before the dialog, menu or box that takes them,
// the clock moved on, workloads played while this thread serves its windows, devices plugged and unplugged.
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#pragma once

#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "WinUiControl.h"
#include "afxwin.h"
#include "tests/support/AppStarter.h"
#include "tests/support/UiFixture.h"
#include "tools/capture-session/CaptureSession.h"

class CGkDockingPane;
class CGkPropertyGrid;
class CGkToolBar;
class CLogListView;
class CMainFrame;
class CTindaloftApp;
class CUSBLog;

namespace tdl::test {

class AppOnMachineTest : public MachineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The default machine booted (again) with the capture driver; with a state folder, its registry and disks
    // live there across boots (a reboot is a shutdown and a boot on the same folder).
    void BootMachine(const std::filesystem::path& stateFolder = {});
    void ShutDownMachine();

    // The program started on the registry it left last time (no splash window), its main window shown at the
    // size given; with `liveCapture` a live capture opened as File New opens it. What the start asked in
    // message boxes is returned (and forgotten).
    CMainFrame* Start(bool liveCapture = true, CSize size = CSize(1280, 900));
    std::vector<win32::ModalRequest> TakeStartBoxes();
    // The program's end as the user closes its window: the frame saves its layout, the application exits.
    void Close();

    CMainFrame* Frame() const { return m_starter->MainFrame(); }
    CTindaloftApp& App() { return m_starter->App(); }
    CUSBLog* Live() const;
    CUSBLog* Active() const;
    // The record list of a document (the live capture's when null).
    CLogListView* RecordList(CUSBLog* pDoc = nullptr) const;

    // --- what the user does

    // A docking pane by its id (the View command that shows it), and its window; null when it has none.
    CGkDockingPane* FindPane(UINT nID) const;
    CWnd* PaneWindow(UINT nID) const;
    // A window down a path of control ids from `root` (the main window when null); null when a step is missing.
    static HWND Control(std::initializer_list<int> idPath, HWND root);
    HWND Control(std::initializer_list<int> idPath) const;
    // A click in the middle of a rectangle of a window's client area (or a point of it).
    static void ClickIn(HWND hwnd, const RECT& rect, win32::MouseButton button = win32::MouseButton::Left);
    static void DoubleClickIn(HWND hwnd, const RECT& rect);
    // A device of the machine (by its model's name) checked for capture in the live capture, every loggable
    // object of its stack; FALSE when the document has no such device or it belongs to no stack.
    BOOL CheckDevice(std::string_view deviceName);
    // A click on a property grid's in-place button of that id, its row first scrolled onto the page; FALSE when
    // no shown item has it.
    static BOOL ClickGridButton(CGkPropertyGrid& grid, UINT nID);
    // A click on the main window's toolbar button of the command; FALSE when no bar has it.
    BOOL ClickToolbar(UINT nID);
    // Keys pressed together (modifiers first), released in reverse, to the focus window; served as the
    // program's message loop serves them (its frames translate their accelerators).
    void Keys(std::initializer_list<BYTE> keys);
    // What this thread has waiting served through the program's message loop, then its idle-time update.
    void ServeAsTheProgram();
    // A command as the menu or toolbar sends it to the main window.
    LRESULT Command(UINT nID);
    // A menu-bar choice: a click on the title, then the item down the path of texts (as the menu shows them,
    // '&' included) chosen in the menu that opens; FALSE when a step is missing or the item is greyed.
    BOOL ChooseMenu(const std::vector<std::string>& path);
    // The answer to the next save or open dialog: the path chosen (its request must name `match`).
    static void AnswerFile(const std::string& path, const std::string& match = {});
    // The idle-time update of the frame's bars, as the message loop runs it.
    void Idle();
    // Moves the virtual clock on, serving each timer as it comes due.
    static void Advance(int nMilliseconds);
    // Serves this thread's windows until `done` (at most 10 s of real time, for what other threads deliver).
    static bool PumpUntil(const std::function<bool()>& done);
    // Workloads played together on threads of their own while this thread serves its windows; each must end
    // well.
    void Play(const std::vector<tdl::session::WorkloadPlan>& plans);
    // A device plugged into a port of a hub of the machine (by the hub's model name), or pulled out, and the
    // device notifications it brings served.
    void Plug(std::string_view hubName, int nPort, std::shared_ptr<sim::UsbDevice> device);
    void Unplug(std::string_view deviceName);

    // The main window's picture saved (the tests' picture folder).
    void SavePicture(const std::string& fileName);

    std::unique_ptr<apptest::AppStarter> m_starter;

private:
    UiChecks m_checks;
};

} // namespace tdl::test
