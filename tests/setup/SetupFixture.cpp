#include "SetupFixture.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "WinFailureControl.h"
#include "WinMachineProfile.h"
#include "WinModulesControl.h"
#include "WinMsiControl.h"
#include "WinOleControl.h"
#include "WinResourceTable.h"
#include "WinShellControl.h"
#include "setup/Setup.h"
#include "setup/SetupResources.h"

namespace setup::test {

void SetupTest::SetUp() {
    const char* tmp = std::getenv("TMPDIR");
    previousTmp_ = tmp ? tmp : "";
    previousState_ = win32::StateFolder();
    // A case of a table starts afresh too.
    std::filesystem::remove_all(folder_.HostPath("state"));
    std::filesystem::remove_all(TempFolder());
    std::filesystem::create_directories(TempFolder());
    setenv("TMPDIR", TempFolder().c_str(), 1);
    win32::SetStateFolder(folder_.HostPath("state"));

    // A module of the test's own: its window class is registered afresh and its payload is the case's.
    moduleName_ = std::string("setup-") + testing::UnitTest::GetInstance()->current_test_info()->name();
    win32::RegisterModule(moduleName_.c_str(), {});
    module_ = LoadLibraryA(moduleName_.c_str());
    ASSERT_NE(module_, nullptr);
    win32::ClearResources();
    RegisterSetupResources(module_);

    SetupCancelled = false;
    win32::ClearModalRequests();
    win32::ResetShell();
    win32::ResetInstaller();
    win32::ResetOleCounts();
    win32::ClearCallFailures();
    win32::ClearUiFailures();
    win32::FailResourceLoads(0);
    windowsBefore_ = win32::LiveWindowCount();
}

void SetupTest::TearDown() {
    EXPECT_EQ(win32::PendingModalScripts(), 0u) << "an answer the run never asked for";
    win32::ClearModalRequests();
    win32::ClearCallFailures();
    win32::ClearUiFailures();
    win32::ResetInstaller();
    win32::ClearResources();
    // The program leaves its class registered, as a process that ends may; the next run registers its own.
    UnregisterClassA("PlainClass", module_);
    FreeLibrary(module_);
    win32::UnregisterModule(moduleName_.c_str());
    if (previousTmp_.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", previousTmp_.c_str(), 1);
    win32::SetStateFolder(previousState_);
}

std::string SetupTest::Package(const std::string& code) {
    return win32::MakeInstallerPackage({{2, "Installation Database"}, {9, code}});
}

void SetupTest::SetPayload(const std::string& bytes) {
    win32::RegisterRawResource(module_, RT_RCDATA, MAKEINTRESOURCEA(1), bytes.data(), bytes.size());
}

void SetupTest::AnswerWelcome(INT_PTR answer, std::function<void()> meanwhile) {
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [this, answer, meanwhile](const win32::ModalRequest&, HWND) -> INT_PTR {
            if (meanwhile)
                meanwhile();
            hidden_ = FindWindowA("PlainClass", "Installing...");
            GetWindowRect(hidden_, &hiddenRect_);
            hiddenVisible_ = IsWindowVisible(hidden_);
            hiddenHit_ = SendMessageA(hidden_, WM_NCHITTEST, 0, MAKELPARAM(960, 450));
            return answer;
        },
        "104");
}

int SetupTest::Run() {
    int result = -1;
    std::thread run([&] { result = RunSetup(module_); });
    run.join();
    return result;
}

std::vector<win32::ModalRequest> SetupTest::Boxes() const {
    std::vector<win32::ModalRequest> boxes;
    for (const win32::ModalRequest& request : win32::ModalRequests())
        if (request.kind == win32::ModalKind::MessageBox)
            boxes.push_back(request);
    return boxes;
}

std::string SetupTest::WinPath(std::string hostPath) {
    for (char& c : hostPath)
        if (c == '/')
            c = '\\';
    return hostPath;
}

bool SetupTest::TempFolderEmpty() const {
    std::error_code error;
    return !std::filesystem::exists(TempFolder(), error) || std::filesystem::is_empty(TempFolder(), error);
}

} // namespace setup::test
