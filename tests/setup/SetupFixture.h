// The set-up program under test: each run on a thread of its own (the hidden window leaves a WM_QUIT in its
// thread's queue), with its temporary folder and the machine's state folder inside a test folder, a module of
// its own carrying the payload the case gives, and the shell, the installer, OLE and the modal service fresh.
#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "WinUiControl.h"
#include "tests/platform/win32/Win32TestSupport.h"
#include "windows.h"

namespace setup::test {

constexpr const char* kPackageCode = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

class SetupTest : public testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // Bytes of a stand-in installer package with this package code.
    static std::string Package(const std::string& code = kPackageCode);
    // The payload of the module the run is given (none: no payload resource).
    void SetPayload(const std::string& bytes);
    // Answers the welcome dialog with `answer`; the hidden window is noted meanwhile, and `meanwhile` runs.
    void AnswerWelcome(INT_PTR answer, std::function<void()> meanwhile = {});
    // Runs the program on a thread of its own; its exit code.
    int Run();

    // Message boxes the run showed.
    std::vector<win32::ModalRequest> Boxes() const;
    // Host paths: the state folder's Windows folder, the cache folder of a package code, the temporary folder.
    std::string WindowsFolder() const { return folder_.HostPath("state/Windows"); }
    std::string CodeFolder(const std::string& code = kPackageCode) const {
        return WindowsFolder() + "/Downloaded Installations/" + code;
    }
    std::string TempFolder() const { return folder_.HostPath("tmp"); }
    // The platform's form of a host path.
    static std::string WinPath(std::string hostPath);
    bool TempFolderEmpty() const;

    win32::test::TempFolder folder_;
    std::string moduleName_;
    HMODULE module_ = nullptr;
    HWND hidden_ = nullptr;
    RECT hiddenRect_{};
    bool hiddenVisible_ = true;
    LRESULT hiddenHit_ = 0;
    size_t windowsBefore_ = 0;

private:
    std::string previousTmp_;
    std::string previousState_;
};

} // namespace setup::test
