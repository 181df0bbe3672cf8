// The set-up program started by hand where no display answers, as a person would start it from a terminal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/ExternalTools.h"

namespace {

namespace fs = std::filesystem;

TEST(SetupProgram, WithoutADisplayItSaysSoInOneLineAndEndsWithTwo) {
    const fs::path folder = fs::temp_directory_path() / ("tdl-setup-program-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "tmp");
    // No display, and no suppressions but those the program carries.
    const tdl::test::CommandResult run =
        tdl::test::RunCommand("env -u DISPLAY -u LSAN_OPTIONS TINDALOFT_STATE_DIR='" + (folder / "state").string() +
                              "' TMPDIR='" + (folder / "tmp").string() + "' '" TDL_SETUP_PROGRAM "'");
    EXPECT_EQ(2, run.exitCode) << run.output;
    EXPECT_EQ("setup: no display to show its welcome box on; start it where an X display answers.\n", run.output);
    // Nothing unpacked, nothing cached.
    EXPECT_TRUE(fs::is_empty(folder / "tmp"));
    EXPECT_FALSE(fs::exists(folder / "state" / "Windows" / "Downloaded Installations"));
    fs::remove_all(folder);
}

} // namespace
