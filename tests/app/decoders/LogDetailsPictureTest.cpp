// The Log Details grid as a user sees it after a record is decoded: a failing status drawn red, the request's
// parameters under their kind's category.
#include <string>

#include <gtest/gtest.h>

#include "LogDetailsWindow.h"
#include "RecordDecoderCases.h"
#include "tests/support/UiFixture.h"

namespace {

class LogDetailsPictureTest : public tdl::test::UiTest {
protected:
    CWinApp m_app{"Tindaloft"};
};

TEST_F(LogDetailsPictureTest, DecodedPowerRecordIsDrawn) {
    decoder_test::LogDetailsWindow window(560);
    ASSERT_TRUE(window.Created());
    // A completed request that failed, then the initiated one: the second picture must not keep the first's
    // status or parameters.
    for (const ULONG tag : {LogTag::powC, LogTag::powI}) {
        ASSERT_TRUE(window.Pane().ShowRecord(
            nullptr, decoder_test::Request(tag, 2, 0xC0000001).Part1(decoder_test::Words({1, 4, 0})).Build()));
        EXPECT_TRUE(window.Save("log_details_power_" + std::string(1, FourCCChar(tag, 3)) + ".png"));
    }
}

} // namespace
