#include <gtest/gtest.h>

#include "AfxString.h"
#include "AfxStringTable.h"
#include "WinResourceTable.h"

namespace {

TEST(StringTable, TheFrameworkAndThePlatformReadOneTable) {
    AfxRegisterString(61000, "Ready");
    char buffer[16];
    EXPECT_EQ(5, LoadStringA(nullptr, 61000, buffer, sizeof buffer));
    EXPECT_STREQ("Ready", buffer);

    const win32::StringResource entries[] = {{61001, "Capture"}, {61002, ""}};
    win32::RegisterStringResources(nullptr, entries, 2);
    CString text;
    EXPECT_TRUE(AfxLoadString(61001, text));
    EXPECT_STREQ("Capture", text);
    EXPECT_TRUE(AfxLoadString(61002, text)); // an empty string is still there
    EXPECT_TRUE(text.IsEmpty());
    text = "unchanged";
    EXPECT_FALSE(AfxLoadString(61003, text));
    EXPECT_STREQ("unchanged", text);
    EXPECT_EQ(3, AfxLoadString(61001, buffer, 4));
    EXPECT_STREQ("Cap", buffer);
    win32::ClearResources();
}

} // namespace
