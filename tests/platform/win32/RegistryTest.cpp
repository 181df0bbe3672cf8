#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "NtRegistryStore.h"
#include "WinRegistryControl.h"
#include "windows.h"

namespace {

namespace reg = nt::registry;

class Registry : public testing::Test {
protected:
    void SetUp() override { reg::Reset(); }
    void TearDown() override {
        if (key)
            RegCloseKey(key);
        reg::Reset();
    }
    HKEY Create(HKEY root, const char* path) {
        HKEY k = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
        return k;
    }
    HKEY key = nullptr;
};

std::vector<BYTE> Bytes(const std::string& s) {
    return std::vector<BYTE>(s.begin(), s.end());
}

TEST_F(Registry, EveryValueTypeRoundTripsByteExact) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    };
    const Case cases[] = {
        {"Sz", REG_SZ, Bytes(std::string("1.0\0", 4))},
        {"Expand", REG_EXPAND_SZ, Bytes(std::string("%TEMP%\\x\0", 9))},
        {"Dword", REG_DWORD, {0x00, 0x00, 0x04, 0x00}},
        {"BigEndian", REG_DWORD_BIG_ENDIAN, {0x00, 0x04, 0x00, 0x00}},
        {"Binary", REG_BINARY, {0x00, 0xFF, 0x80, 0x7F, 0x00}},
        {"EmptyBinary", REG_BINARY, {}},
        {"Multi", REG_MULTI_SZ, Bytes(std::string("one\0two\0\0", 9))},
        {"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"", REG_SZ, Bytes(std::string("default\0", 8))},
    };
    key = Create(HKEY_CURRENT_USER, "Software\\Vellumcrest\\Tindaloft\\AppSettings");
    for (const Case& c : cases)
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, c.name, 0, c.type, c.data.data(), DWORD(c.data.size())));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD type = 0, size = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, c.name, nullptr, &type, nullptr, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.data.size(), size);
        std::vector<BYTE> read(size + 3, 0xEE);
        size = DWORD(read.size());
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, c.name, nullptr, &type, read.data(), &size));
        ASSERT_EQ(c.data.size(), size);
        read.resize(size);
        EXPECT_EQ(c.data, read);
    }
    // Strings are kept as UTF-16, the platform's form: the kernel's side reads them so.
    reg::Value stored;
    reg::KeyRef storeKey;
    ASSERT_EQ(STATUS_SUCCESS,
              reg::OpenKey(nullptr,
                           win32::RegistryRootPath(HKEY_CURRENT_USER) + u"\\Software\\Vellumcrest\\Tindaloft"
                                                                        u"\\AppSettings",
                           storeKey));
    ASSERT_EQ(STATUS_SUCCESS, reg::QueryValue(storeKey, u"sz", stored));
    EXPECT_EQ((std::vector<UCHAR>{'1', 0, '.', 0, '0', 0, 0, 0}), stored.data);
}

TEST_F(Registry, ShortBuffersAndMissingValues) {
    key = Create(HKEY_CURRENT_USER, "Software\\Test");
    const char text[] = "a longer text";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
    char small[4];
    DWORD size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(sizeof text, size);
    size = 4;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "TEXT"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "Text"));
    HKEY none = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &none));
    EXPECT_EQ(nullptr, none);
}

TEST_F(Registry, NamesAreCaseInsensitiveAndKeepTheirCase) {
    key = Create(HKEY_CURRENT_USER, "Software\\Vellumcrest\\Tindaloft");
    const DWORD one = 1;
    RegSetValueExA(key, "AutoEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    HKEY again = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\vellumcrest\\TINDALOFT", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &again, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(again, "AUTOENABLE", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(1u, value);
    char name[32];
    DWORD length = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(again, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("AutoEnable", name);
    RegCloseKey(again);
}

TEST_F(Registry, EnumerationIsStableAndEndsWithNoMoreItems) {
    key = Create(HKEY_CURRENT_USER, "Software\\Enum");
    for (const char* sub : {"Triggers", "AppSettings", "filters"})
        RegCloseKey(Create(key, sub));
    for (const char* value : {"Zeta", "Alpha", "Mid"})
        RegSetValueExA(key, value, 0, REG_BINARY, reinterpret_cast<const BYTE*>("x"), 1);

    std::vector<std::string> keys, values;
    char name[64];
    DWORD length;
    LSTATUS r;
    for (DWORD i = 0; (length = sizeof name,
                      r = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)) == ERROR_SUCCESS;
         ++i)
        keys.push_back(name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, r);
    for (DWORD i = 0; (length = sizeof name,
                      r = RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)) == ERROR_SUCCESS;
         ++i)
        values.push_back(name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, r);
    EXPECT_EQ((std::vector<std::string>{"AppSettings", "filters", "Triggers"}), keys);
    EXPECT_EQ((std::vector<std::string>{"Zeta", "Alpha", "Mid"}), values);

    length = 3;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr));

    DWORD subKeys = 0, maxSubKey = 0, valueCount = 0, maxValueName = 0, maxValue = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                                              &valueCount, &maxValueName, &maxValue, nullptr, nullptr));
    EXPECT_EQ(3u, subKeys);
    EXPECT_EQ(11u, maxSubKey);
    EXPECT_EQ(3u, valueCount);
    EXPECT_EQ(5u, maxValueName);
    EXPECT_EQ(1u, maxValue);
}

TEST_F(Registry, DeletingAKeyWithSubkeysFails) {
    key = Create(HKEY_CURRENT_USER, "Software\\Del\\Child");
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &parent));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(parent, "Del"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(parent, "Del\\Child"));
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 0)) << "the open handle is stale";
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(parent, "Del"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(parent, "Del"));
    RegCloseKey(parent);
}

TEST_F(Registry, WhatTheKernelWroteUnderTheMachineHiveIsReadHere) {
    reg::KeyRef k = nullptr, child;
    bool created = false;
    ASSERT_EQ(STATUS_SUCCESS, reg::OpenKey(nullptr, u"\\Registry\\Machine", k));
    for (const char16_t* part : {u"SYSTEM", u"CurrentControlSet", u"Services", u"KxTdloft", u"Parameters"}) {
        ASSERT_EQ(STATUS_SUCCESS, reg::CreateKey(k, part, false, u"", child, created));
        k = child;
    }
    const char16_t text[] = u"KxTdloft";
    const ULONG bulk = 1;
    reg::SetValue(k, u"DisplayName", REG_SZ, text, sizeof text);
    reg::SetValue(k, u"CaptureBulk", REG_DWORD, &bulk, sizeof bulk);

    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\KxTdloft\\Parameters", 0,
                            KEY_READ, &key));
    char name[32];
    DWORD type = 0, size = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(9u, size);
    EXPECT_STREQ("KxTdloft", name);
    DWORD value = 0;
    size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "CaptureBulk", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(1u, value);
    // The key was opened for reading only.
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4));
}

TEST_F(Registry, RootsConnectionAndDisposition) {
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, ".tdloft", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                             &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    reg::KeyRef k;
    EXPECT_EQ(STATUS_SUCCESS, reg::OpenKey(nullptr, u"\\Registry\\Machine\\Software\\Classes\\.tdloft", k));

    HKEY remote = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &remote));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, remote);
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    EXPECT_EQ(ERROR_SUCCESS,
              RegConnectRegistryA(("\\\\" + std::string(computer)).c_str(), HKEY_LOCAL_MACHINE, &remote));
    EXPECT_EQ(ERROR_BAD_NETPATH, RegConnectRegistryA("\\\\ELSEWHERE", HKEY_LOCAL_MACHINE, &remote));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(HKEY_CURRENT_USER));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reinterpret_cast<HKEY>(0x1234)));
}

TEST(Environment, ExpandEnvironmentStrings) {
    setenv("TDL_TEST_VAR", "value", 1);
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case& c : {Case{"%TDL_TEST_VAR%\\x", "value\\x"}, Case{"%tdl_test_var%", "value"},
                          Case{"a%TDL_NO_SUCH%b", "a%TDL_NO_SUCH%b"}, Case{"100%", "100%"},
                          Case{"%%TDL_TEST_VAR%", "%value"}, Case{"", ""}}) {
        char out[64];
        DWORD needed = ExpandEnvironmentStringsA(c.in, out, sizeof out);
        EXPECT_STREQ(c.out, out) << c.in;
        EXPECT_EQ(std::strlen(c.out) + 1, needed);
    }
    char tiny[3] = "zz";
    EXPECT_EQ(6u, ExpandEnvironmentStringsA("%TDL_TEST_VAR%", tiny, sizeof tiny));
    EXPECT_STREQ("zz", tiny);
    unsetenv("TDL_TEST_VAR");
}

} // namespace
