#include "app/core/settings/OXRegistryItem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NtControl.h"
#include "NtRegistryStore.h"
#include "WinRegistryControl.h"
#include "app/core/settings/OXIteratorRegistryItem.h"

namespace {

constexpr DWORD kNotFound = 0x80070002;
constexpr DWORD kInvalidData = 0x8007000D;

class RegistryItem : public ::testing::Test {
protected:
    void SetUp() override { nt::ResetKernelState(); }

    // Raw access below HKEY_CURRENT_USER, past the item under test.
    static void RawSet(LPCSTR key, LPCSTR name, DWORD type, const void* data, DWORD size) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(handle);
    }
    static void RawCreate(LPCSTR key) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(handle);
    }
    static bool RawQuery(LPCSTR key, LPCSTR name, DWORD& type, std::vector<BYTE>& data) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            return false;
        }
        DWORD size = 0;
        LSTATUS status = RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size);
        data.resize(size);
        if (status == ERROR_SUCCESS) {
            status = RegQueryValueExA(handle, name, nullptr, &type, data.data(), &size);
        }
        RegCloseKey(handle);
        return status == ERROR_SUCCESS;
    }
    static bool RawKeyExists(LPCSTR key) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(handle);
        return true;
    }
};

struct PathCase {
    const char* path;
    const char* machine;
    const char* root;
    const char* key;
    const char* value;
};

TEST_F(RegistryItem, PathsSplitIntoMachineRootKeyAndValue) {
    const PathCase cases[] = {
        {"\\CurrentUser\\Software\\A\\Value", "", "\\CurrentUser", "\\Software\\A\\", "Value"},
        {"\\currentUSER\\Software\\A\\", "", "\\CurrentUser", "\\Software\\A\\", ""},
        {"\\classesroot\\.txt\\NoName", "", "\\ClassesRoot", "\\.txt\\", "NoName"},
        {"\\LOCALMACHINE", "", "\\LocalMachine", "\\", ""},
        {"\\users\\S-1\\V", "", "\\Users", "\\S-1\\", "V"},
        {"\\PerformanceData\\", "", "\\PerformanceData", "\\", ""},
        {"\\currentconfig\\System\\", "", "\\CurrentConfig", "\\System\\", ""},
        {"\\DYNDATA\\X", "", "\\DynData", "\\", "X"},
        // A root only before "\" or the end.
        {"\\UsersX\\Key\\V", "", "\\CurrentUser", "\\UsersX\\Key\\", "V"},
        {"\\LocalMachineSoftware", "", "\\CurrentUser", "\\", "LocalMachineSoftware"},
        // No root.
        {"Software\\A\\V", "", "\\CurrentUser", "\\Software\\A\\", "V"},
        {"\\Software\\A\\", "", "\\CurrentUser", "\\Software\\A\\", ""},
        // Machine prefix.
        {"\\\\HOST\\LocalMachine\\Software\\", "\\\\HOST", "\\LocalMachine", "\\Software\\", ""},
        {"\\\\HOST\\Software\\V", "\\\\HOST", "\\CurrentUser", "\\Software\\", "V"},
        // Nothing but backslashes.
        {"\\\\\\", "", "", "", ""},
        {"", "", "", "", ""},
    };
    for (const PathCase& row : cases) {
        SCOPED_TRACE(row.path);
        COXRegistryItem item(row.path);
        EXPECT_EQ(item.GetFullPath(), row.path);
        EXPECT_EQ(item.GetMachineName(), row.machine);
        EXPECT_EQ(item.GetRootName(), row.root);
        EXPECT_EQ(item.GetKeyName(), row.key);
        EXPECT_EQ(item.GetValueName(), row.value);
    }
}

TEST_F(RegistryItem, NumberValuesInEitherByteOrder) {
    struct Case {
        BOOL littleEndian;
        DWORD type;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {{TRUE, REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
                          {FALSE, REG_DWORD_BIG_ENDIAN, {0x12, 0x34, 0x56, 0x78}}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.type);
        COXRegistryItem item("\\CurrentUser\\Software\\T\\Number");
        EXPECT_TRUE(item.SetNumberValue(0x12345678, nullptr, row.littleEndian));
        EXPECT_EQ(item.GetLastError(), 0u);
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(RawQuery("Software\\T", "Number", type, data));
        EXPECT_EQ(type, row.type);
        EXPECT_EQ(data, row.bytes);
        EXPECT_EQ(item.GetNumberValue(nullptr, row.littleEndian, 7), 0x12345678u);
        // The other byte order is another type.
        EXPECT_EQ(item.GetNumberValue(nullptr, !row.littleEndian, 7), 7u);
        EXPECT_EQ(item.GetLastError(), kInvalidData);
    }
}

TEST_F(RegistryItem, ValuesThatCannotBeReadGiveTheDefault) {
    const BYTE three[3] = {1, 2, 3};
    RawSet("Software\\T", "Short", REG_DWORD, three, sizeof three);
    RawSet("Software\\T", "Text", REG_SZ, "12", 3);
    const DWORD number = 5;
    RawSet("Software\\T", "Number", REG_DWORD, &number, sizeof number);

    struct Case {
        const char* path;
        DWORD error;
    };
    const Case numberCases[] = {
        {"\\CurrentUser\\Software\\T\\Short", kInvalidData}, // a REG_DWORD that is not 4 bytes long
        {"\\CurrentUser\\Software\\T\\Text", kInvalidData},
        {"\\CurrentUser\\Software\\T\\Missing", kNotFound},
        {"\\CurrentUser\\Software\\Missing\\Number", kNotFound},
    };
    for (const Case& row : numberCases) {
        SCOPED_TRACE(row.path);
        COXRegistryItem item(row.path);
        EXPECT_EQ(item.GetNumberValue(nullptr, TRUE, 555), 555u);
        EXPECT_EQ(item.GetLastError(), row.error);
    }
    COXRegistryItem item("\\CurrentUser\\Software\\T\\Number");
    EXPECT_EQ(item.GetStringValue(nullptr, TRUE, TRUE, "default"), "default");
    EXPECT_EQ(item.GetLastError(), kInvalidData);
}

TEST_F(RegistryItem, StringValues) {
    SetEnvironmentVariableA("TDL_REGISTRY_TEST", "expanded");
    RawSet("Software\\T", "Plain", REG_SZ, "text", 5);
    RawSet("Software\\T", "Expand", REG_EXPAND_SZ, "a %TDL_REGISTRY_TEST% b", 24);
    RawSet("Software\\T", "NoNul", REG_SZ, "cut", 3); // another program stored it without its NUL
    RawSet("Software\\T", "", REG_SZ, "unnamed", 8);

    struct Case {
        const char* value;
        BOOL anyType;
        BOOL expand;
        const char* expected;
        DWORD error;
    };
    const Case cases[] = {
        {"Plain", FALSE, FALSE, "text", 0},
        {"Plain", TRUE, TRUE, "text", 0},
        {"Expand", FALSE, FALSE, "default", kInvalidData},
        {"Expand", TRUE, FALSE, "a %TDL_REGISTRY_TEST% b", 0},
        {"Expand", TRUE, TRUE, "a expanded b", 0},
        {"NoNul", FALSE, FALSE, "cut", 0},
        {"NoName", FALSE, FALSE, "unnamed", 0},
        {"noname", FALSE, FALSE, "unnamed", 0},
        {"Missing", TRUE, TRUE, "default", kNotFound},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.value);
        COXRegistryItem item((CString("\\CurrentUser\\Software\\T\\") + row.value).GetString());
        EXPECT_EQ(item.GetStringValue(nullptr, row.anyType, row.expand, "default"), row.expected);
        EXPECT_EQ(item.GetLastError(), row.error);
    }
    SetEnvironmentVariableA("TDL_REGISTRY_TEST", nullptr);

    // Written with the NUL, as REG_SZ or REG_EXPAND_SZ.
    COXRegistryItem item("\\CurrentUser\\Software\\W\\");
    EXPECT_TRUE(item.SetStringValue("1.0", "Version"));
    EXPECT_TRUE(item.SetStringValue("%X%", "Path", TRUE));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(RawQuery("Software\\W", "Version", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, (std::vector<BYTE>{'1', '.', '0', 0}));
    ASSERT_TRUE(RawQuery("Software\\W", "Path", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
}

TEST_F(RegistryItem, DeletingValuesAndKeys) {
    const DWORD one = 1;
    RawSet("Software\\T\\Sub", "V", REG_DWORD, &one, sizeof one);
    RawSet("Software\\T", "", REG_DWORD, &one, sizeof one);

    COXRegistryItem value("\\CurrentUser\\Software\\T\\Sub\\V");
    EXPECT_TRUE(value.Delete());
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_FALSE(RawQuery("Software\\T\\Sub", "V", type, data));
    EXPECT_FALSE(value.Delete());
    EXPECT_EQ(value.GetLastError(), kNotFound);

    COXRegistryItem unnamed("\\CurrentUser\\Software\\T\\NoName");
    EXPECT_TRUE(unnamed.Delete());
    EXPECT_FALSE(RawQuery("Software\\T", "", type, data));

    // A key with subkeys stays; without, it goes with its values.
    COXRegistryItem parent("\\CurrentUser\\Software\\T\\");
    EXPECT_FALSE(parent.Delete());
    EXPECT_TRUE(RawKeyExists("Software\\T"));
    COXRegistryItem sub("\\CurrentUser\\Software\\T\\Sub\\");
    ASSERT_TRUE(sub.Open(FALSE));
    EXPECT_TRUE(sub.Delete()); // its own open handle does not keep it
    EXPECT_FALSE(RawKeyExists("Software\\T\\Sub"));
    EXPECT_TRUE(parent.Delete());
    EXPECT_FALSE(RawKeyExists("Software\\T"));
}

TEST_F(RegistryItem, EnumeratesNamesLongerThanItsFirstBuffer) {
    const std::string longName(400, 'n');
    const DWORD one = 1;
    RawSet("Software\\T", "short", REG_DWORD, &one, sizeof one);
    RawSet("Software\\T", longName.c_str(), REG_DWORD, &one, sizeof one);
    RawSet("Software\\T", "", REG_DWORD, &one, sizeof one);
    RawCreate(("Software\\T\\" + longName).c_str());

    COXRegistryItem item("\\CurrentUser\\Software\\T\\");
    ASSERT_EQ(item.GetNumberOfValues(), 3);
    EXPECT_EQ(item.GetValueNameAt(0), "short");
    EXPECT_EQ(item.GetValueNameAt(1), longName.c_str());
    EXPECT_EQ(item.GetValueNameAt(2), "NoName");
    EXPECT_EQ(item.GetValueNameAt(3), "");
    EXPECT_EQ(item.GetLastError(), 0x80070000u | ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(item.GetNumberOfSubkeys(), 1);
    EXPECT_EQ(item.GetSubkeyNameAt(0), longName.c_str());

    COXRegistryItem missing("\\CurrentUser\\Software\\Missing\\");
    EXPECT_EQ(missing.GetNumberOfValues(), -1);
    EXPECT_EQ(missing.GetSubkeyNameAt(0), "");
}

std::u16string CurrentUserPath(const std::u16string& below) {
    return u"\\Registry\\User\\" + std::u16string(win32::kCurrentUserSid) + u"\\" + below;
}

TEST_F(RegistryItem, FallsBackToTheAccessAnOperationNeeds) {
    const DWORD five = 5;
    RawSet("Software\\T", "N", REG_DWORD, &five, sizeof five);
    // Full access is refused once per operation.
    nt::registry::FailurePlan open;
    open.operation = nt::registry::Operation::OpenKey;
    open.keyPath = CurrentUserPath(u"Software\\T");
    open.status = STATUS_ACCESS_DENIED;
    open.count = 1;
    nt::registry::InjectFailure(open);
    COXRegistryItem item("\\CurrentUser\\Software\\T\\N");
    EXPECT_EQ(item.GetNumberValue(nullptr, TRUE, 0), 5u);
    EXPECT_EQ(item.GetLastError(), 0u);

    nt::registry::FailurePlan create = open;
    create.operation = nt::registry::Operation::CreateKey;
    nt::registry::InjectFailure(create);
    EXPECT_TRUE(item.SetNumberValue(6));
    EXPECT_EQ(item.GetNumberValue(), 6u);

    // Refused both times: the operation fails with the system's error.
    open.count = 2;
    nt::registry::InjectFailure(open);
    EXPECT_EQ(item.GetNumberValue(nullptr, TRUE, 9), 9u);
    EXPECT_EQ(item.GetLastError(), 0x80070000u | ERROR_ACCESS_DENIED);
    nt::registry::ClearInjectedFailures();
}

TEST_F(RegistryItem, OpenConnectsToTheNamedMachineOnly) {
    char local[64];
    DWORD size = sizeof local;
    ASSERT_TRUE(GetComputerNameA(local, &size));
    COXRegistryItem here((CString("\\\\") + local + "\\CurrentUser\\Software\\T\\").GetString());
    EXPECT_TRUE(here.Open());
    EXPECT_TRUE(here.IsOpen());
    EXPECT_TRUE(here.Close());

    COXRegistryItem elsewhere("\\\\ELSEWHERE\\CurrentUser\\Software\\T\\");
    EXPECT_FALSE(elsewhere.Open());
    EXPECT_EQ(elsewhere.GetLastError(), 0x80070000u | ERROR_BAD_NETPATH);
    EXPECT_FALSE(elsewhere.Close());

    COXRegistryItem none("\\CurrentUser\\Software\\Missing\\");
    EXPECT_FALSE(none.Open(FALSE));
    EXPECT_EQ(none.GetLastError(), kNotFound);
    EXPECT_FALSE(RawKeyExists("Software\\Missing"));
    EXPECT_TRUE(none.Open(TRUE));
    EXPECT_TRUE(RawKeyExists("Software\\Missing"));
}

// The walk's visits as paths below "\CurrentUser\Software\".
std::vector<std::string> Walk(COXIteratorRegistryItem& iterator, bool deleteEach = false) {
    std::vector<std::string> visited;
    if (!iterator.Start()) {
        return visited;
    }
    do {
        visited.push_back(std::string(iterator.GetFullPath().Mid(22)));
        if (deleteEach) {
            EXPECT_TRUE(iterator.Delete()) << visited.back();
        }
    } while (iterator.Next());
    return visited;
}

TEST_F(RegistryItem, IteratorWalksByItsOptions) {
    const DWORD one = 1;
    RawSet("Software\\A", "v1", REG_DWORD, &one, sizeof one);
    RawSet("Software\\A\\B\\D", "v2", REG_DWORD, &one, sizeof one);
    RawCreate("Software\\A\\C");
    const char* root = "\\CurrentUser\\Software\\A\\";

    struct Case {
        BOOL values, keys, down, recursive, depthFirst;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {FALSE, TRUE, FALSE, FALSE, FALSE, {"A\\B\\", "A\\C\\"}},
        {FALSE, TRUE, TRUE, FALSE, FALSE, {"A\\C\\", "A\\B\\"}},
        {TRUE, FALSE, FALSE, FALSE, FALSE, {"A\\v1"}},
        {TRUE, TRUE, TRUE, FALSE, FALSE, {"A\\v1", "A\\C\\", "A\\B\\"}},
        {TRUE, TRUE, FALSE, TRUE, FALSE, {"A\\v1", "A\\B\\", "A\\B\\D\\", "A\\B\\D\\v2", "A\\C\\"}},
        {FALSE, TRUE, FALSE, TRUE, TRUE, {"A\\B\\D\\", "A\\B\\", "A\\C\\"}},
        {FALSE, TRUE, TRUE, TRUE, TRUE, {"A\\C\\", "A\\B\\D\\", "A\\B\\"}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(::testing::Message() << row.values << row.keys << row.down << row.recursive << row.depthFirst);
        COXIteratorRegistryItem iterator(root, row.values, row.keys, row.down, row.recursive, row.depthFirst);
        EXPECT_EQ(Walk(iterator), row.expected);
        EXPECT_TRUE(iterator.IsEnd());
    }

    // Counting down, depth first, every key reached can be deleted.
    COXIteratorRegistryItem wipe(root, FALSE, TRUE, TRUE, TRUE, TRUE);
    EXPECT_EQ(Walk(wipe, true), (std::vector<std::string>{"A\\C\\", "A\\B\\D\\", "A\\B\\"}));
    EXPECT_FALSE(RawKeyExists("Software\\A\\B"));
    EXPECT_TRUE(RawKeyExists("Software\\A"));

    // Nothing left to visit, or nothing there.
    COXIteratorRegistryItem empty(root, FALSE, TRUE, TRUE, TRUE, TRUE);
    EXPECT_FALSE(empty.Start());
    EXPECT_EQ(empty.GetLastError(), 0x80070000u | ERROR_NO_MORE_ITEMS);
    COXIteratorRegistryItem missing("\\CurrentUser\\Software\\Missing\\", FALSE, TRUE, TRUE, TRUE, TRUE);
    EXPECT_FALSE(missing.Start());
    EXPECT_EQ(missing.GetLastError(), kNotFound);
}

} // namespace
