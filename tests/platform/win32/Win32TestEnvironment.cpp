// Every run of this suite keeps the machine's state (the cross-process locks of named mutexes) in a folder of
// its own, so that runs side by side do not see each other's mutexes.
#include <cstdlib>
#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "WinMachineProfile.h"

namespace {

class PrivateStateFolder : public testing::Environment {
public:
    void SetUp() override {
        // A child process started by a test is told its parent's folder instead.
        if (!std::getenv("TINDALOFT_STATE_DIR"))
            win32::SetStateFolder(folder_.Path());
    }
    void TearDown() override { win32::SetStateFolder(""); }

private:
    win32::test::TempFolder folder_;
};

const testing::Environment* const g_stateFolder = testing::AddGlobalTestEnvironment(new PrivateStateFolder);

} // namespace
