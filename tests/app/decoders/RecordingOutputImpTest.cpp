// The recording back-end the decoder tests read: one line per call, in the agreed form.
#include <gtest/gtest.h>

#include "EmitCalls.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

TEST(RecordingOutputImpTest, EveryOperationIsOneLineOfItsNameAndArguments) {
    tdl::test::RecordingOutputImp out;
    for (const emit_test::EmitCall& call : emit_test::AllEmitCalls())
        call.call(out);
    out.AddItem("Caption", nullptr, nullptr);
    out.AddDescribedItem(nullptr, "v", nullptr, false);
    EXPECT_EQ("BeginIndent\n"
              "EndIndent\n"
              "WriteSubHeading|Title\n"
              "BeginTable|1\n"
              "EndTable|0\n"
              "EnterRecord\n"
              "WriteHeaderRow|a|b\n"
              "BeginSection|Log Entry|Record|7\n"
              "BeginElement|Section\n"
              "BeginElementWithAttribute|Section|a|1\n"
              "AddElement|Element\n"
              "AddAttribute|a|1\n"
              "ShowCategoryById|77|Renamed\n"
              "ShowCategory|Log Entry\n"
              "HideCategory|Log Entry\n"
              "SetItemValueById|5000|v\n"
              "SetItemValue|Record|v\n"
              "SetItemValueColour|Record|v|0x0000ff\n"
              "GetValueColour\n"
              "HideItem|Record\n"
              "SetItemDescription|Record|d\n"
              "AddDescribedItem|c|v|d|1\n"
              "BeginValueGroup|c|v\n"
              "BeginGroup|c|v\n"
              "BeginCategory|c\n"
              "AddDataBufferItem|Data\n"
              "AddItem|c|v|d\n"
              "AddReadOnlyItem|c|v\n"
              "ExpandCurrent\n"
              "EndGroup\n"
              "EndElement\n"
              "WriteValue|Name|v\n"
              "WriteMeaningValue|Name|v|m\n"
              "WriteValueWithAttribute|Name|v|a|m\n"
              "WriteValueMeaning|Name|v|m\n"
              "AddItem|Caption|-|-\n"
              "AddDescribedItem|-|v|-|0\n",
              out.Text());
    EXPECT_EQ(37u, out.Lines().size());
}

TEST(RecordingOutputImpTest, AnswersTheValueColourItIsGiven) {
    tdl::test::RecordingOutputImp out;
    EXPECT_EQ(0u, out.GetValueColour());
    out.SetValueColour(0x123456);
    EXPECT_EQ(0x123456u, out.GetValueColour());
    out.Clear();
    EXPECT_TRUE(out.Lines().empty());
}

} // namespace
