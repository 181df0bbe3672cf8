// The program started where it has no way to show a window: one line says so and names the run command, and
// the program ends with code 2 rather than running unseen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/ExternalTools.h"

TEST(ProgramWithoutDisplay, SaysSoInOneLineAndExitsWithTwo) {
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("tdl-nodisplay-" + std::to_string(::getpid()));
    const tdl::test::CommandResult result =
        tdl::test::RunCommand("DISPLAY= TINDALOFT_STATE_DIR='" + state.string() + "' '" TDL_PROGRAM "' </dev/null");
    EXPECT_EQ(2, result.exitCode) << result.output;
    EXPECT_EQ(0u, result.output.find("Tindaloft: no display to show the analyzer's windows on; bash scripts/run.sh "
                                     "runs a capture session without one.\n"))
        << result.output;
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
}
