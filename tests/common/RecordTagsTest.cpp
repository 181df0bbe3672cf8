#include "common/RecordTags.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

// Every tag's value, stored to memory, must spell the tag in writing order.
TEST(RecordTags, EveryTagIsItsCharactersInMemoryOrder) {
    const struct {
        ULONG value;
        const char* text;
    } tags[] = {
        {LogTag::Sync, "####"}, {LogTag::GapSync, "****"}, {LogTag::Data, "DATA"}, {LogTag::More, "MORE"},
        {LogTag::Fini, "FINI"}, {LogTag::urbI, "urbI"},    {LogTag::urbR, "urbR"}, {LogTag::urbC, "urbC"},
        {LogTag::iCnt, "iCnt"}, {LogTag::cCnt, "cCnt"},    {LogTag::uinI, "uinI"}, {LogTag::uinR, "uinR"},
        {LogTag::uinC, "uinC"}, {LogTag::hcdI, "hcdI"},    {LogTag::hcdR, "hcdR"}, {LogTag::hcdC, "hcdC"},
        {LogTag::hubI, "hubI"}, {LogTag::hubR, "hubR"},    {LogTag::hubC, "hubC"}, {LogTag::hidI, "hidI"},
        {LogTag::hidR, "hidR"}, {LogTag::hidC, "hidC"},    {LogTag::powI, "powI"}, {LogTag::powR, "powR"},
        {LogTag::powC, "powC"}, {LogTag::pnpI, "pnpI"},    {LogTag::pnpR, "pnpR"}, {LogTag::pnpC, "pnpC"},
        {LogTag::ctlI, "ctlI"}, {LogTag::ctlR, "ctlR"},    {LogTag::ctlC, "ctlC"}, {LogTag::intI, "intI"},
        {LogTag::intR, "intR"}, {LogTag::intC, "intC"},    {LogTag::buhI, "buhI"}, {LogTag::buhC, "buhC"},
        {LogTag::khpI, "khpI"}, {LogTag::khpC, "khpC"},    {LogTag::atsL, "atsL"}, {LogTag::dneL, "dneL"},
        {LogTag::vedA, "vedA"}, {LogTag::vedR, "vedR"},    {LogTag::vrdA, "vrdA"}, {LogTag::vrdR, "vrdR"},
        {LogTag::ktsA, "ktsA"}, {LogTag::ktsR, "ktsR"},
    };
    for (const auto& tag : tags) {
        char bytes[4];
        std::memcpy(bytes, &tag.value, 4);
        EXPECT_EQ(std::string(bytes, 4), tag.text);
    }
    const uint8_t urbI[4] = {0x75, 0x72, 0x62, 0x49};
    EXPECT_EQ(std::memcmp(&LogTag::urbI, urbI, 4), 0);
}

TEST(RecordTags, KindPhaseAndClassification) {
    EXPECT_EQ(LogTag::KindOf(LogTag::hubC), LogTag::KindHub);
    EXPECT_EQ(LogTag::PhaseOf(LogTag::hubC), 'C');
    EXPECT_EQ(LogTag::Make(LogTag::KindPow, 'R'), LogTag::powR);

    EXPECT_TRUE(LogTag::IsUrbTag(LogTag::cCnt));
    EXPECT_FALSE(LogTag::IsUrbTag(FourCC("urbX")));
    EXPECT_TRUE(LogTag::IsNonRequestTag(LogTag::dneL));
    EXPECT_TRUE(LogTag::IsChangeLogTag(LogTag::ktsR));
    EXPECT_FALSE(LogTag::IsChangeLogTag(LogTag::atsL));
    EXPECT_FALSE(LogTag::IsNonRequestTag(LogTag::ctlC));
}

} // namespace
