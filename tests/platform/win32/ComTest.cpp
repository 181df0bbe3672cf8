// CLSIDFromString: the braced registry form of a GUID and nothing else.
#include <gtest/gtest.h>

#include "WinCom.h"
#include "devguid.h"

namespace {

TEST(ClsidFromString, ReadsTheBracedFormInEitherCase) {
    // The text a driver key starts with, cut after its '}'.
    for (const char16_t* text :
         {u"{36FC9E60-C465-11CF-8056-444553540000}", u"{36fc9e60-c465-11cf-8056-444553540000}"}) {
        GUID guid{};
        EXPECT_EQ(CLSIDFromString(text, &guid), S_OK);
        EXPECT_EQ(guid, GUID_DEVCLASS_USB);
    }
    GUID guid = GUID_DEVCLASS_USB;
    EXPECT_EQ(CLSIDFromString(nullptr, &guid), S_OK);
    EXPECT_EQ(guid, GUID{});
    EXPECT_EQ(CLSIDFromString(u"{36FC9E60-C465-11CF-8056-444553540000}", nullptr), E_INVALIDARG);
}

TEST(ClsidFromString, RefusesMalformedText) {
    const char16_t* const malformed[] = {
        u"",
        u"36FC9E60-C465-11CF-8056-444553540000",         // no braces
        u"{36FC9E60-C465-11CF-8056-444553540000}\\0004", // a whole driver key
        u"{36FC9E60-C465-11CF-8056-44455354000}",        // a digit short
        u"{36FC9E60-C465-11CF-8056-4445535400000}",      // a digit long
        u"{36FC9E60C-465-11CF-8056-444553540000}",       // a dash out of place
        u"{36FC9E6G-C465-11CF-8056-444553540000}",       // not hexadecimal
        u"{36FC9E60-C465-11CF-8056-44455354000 }",
        u"(36FC9E60-C465-11CF-8056-444553540000)",
        u"{+6FC9E60-C465-11CF-8056-444553540000}",
    };
    for (const char16_t* text : malformed) {
        GUID guid = GUID_DEVCLASS_USB;
        EXPECT_EQ(CLSIDFromString(text, &guid), CO_E_CLASSSTRING) << static_cast<const void*>(text);
        EXPECT_EQ(guid, GUID{});
    }
}

} // namespace
