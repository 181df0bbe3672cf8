// The "ntdll" module: present on every machine with its object-manager and string exports, which reach the
// kernel's own namespace ("\??", "\DosDevices" and "\GLOBAL??" are one directory).
#include <gtest/gtest.h>

#include "NtHandleTable.h"
#include "NtObject.h"
#include "NtRtlString.h"
#include "WinModules.h"
#include "WinModulesControl.h"
#include "tests/support/MachineFixture.h"

namespace {

using OpenObject = NTSTATUS (*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
using QueryLink = NTSTATUS (*)(HANDLE, PUNICODE_STRING, PULONG);
using Close = NTSTATUS (*)(HANDLE);
using QuerySystemInformation = NTSTATUS (*)(ULONG, PVOID, ULONG, PULONG);

const char* const kExports[] = {
    "ZwQuerySystemInformation",
    "ZwClose",
    "ZwQueryObject",
    "ZwOpenDirectoryObject",
    "ZwQueryDirectoryObject",
    "ZwOpenSymbolicLinkObject",
    "ZwQuerySymbolicLinkObject",
    "RtlInitAnsiString",
    "RtlAnsiStringToUnicodeString",
    "RtlFreeUnicodeString",
    "RtlFreeAnsiString",
    "RtlUnicodeStringToAnsiString",
};

template <class F> F Bind(HMODULE module, const char* name) {
    return reinterpret_cast<F>(GetProcAddress(module, name));
}

class NtdllModule : public ::testing::Test {
protected:
    void TearDown() override { win32::ResetModules(); }
};

TEST_F(NtdllModule, IsThereFromTheStartAndAfterAResetWithItsExports) {
    for (bool reset : {false, true}) {
        if (reset)
            win32::ResetModules();
        HMODULE ntdll = LoadLibraryA("ntdll");
        ASSERT_NE(ntdll, nullptr);
        EXPECT_EQ(win32::ModuleLoadCount("NTDLL.DLL"), 1);
        for (const char* name : kExports)
            EXPECT_NE(GetProcAddress(ntdll, name), nullptr) << name;
        ULONG length = 99;
        auto query = Bind<QuerySystemInformation>(ntdll, "ZwQuerySystemInformation");
        EXPECT_EQ(query(5, nullptr, 0, &length), STATUS_NOT_IMPLEMENTED);
        EXPECT_EQ(length, 0u);
        EXPECT_TRUE(FreeLibrary(ntdll));
        EXPECT_EQ(win32::ModuleLoadCount("ntdll"), 0);
    }
}

TEST_F(NtdllModule, ATestCanTakeAnExportAway) {
    win32::RegisterModule("ntdll", {win32::Export("ZwClose", &ZwClose)});
    HMODULE ntdll = LoadLibraryA("ntdll");
    ASSERT_NE(ntdll, nullptr);
    EXPECT_EQ(GetProcAddress(ntdll, "ZwOpenDirectoryObject"), nullptr);
    EXPECT_TRUE(FreeLibrary(ntdll));
}

class NtdllLinks : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault();
        m_ntdll = LoadLibraryA("ntdll");
        ASSERT_NE(m_ntdll, nullptr);
        m_openDirectory = Bind<OpenObject>(m_ntdll, "ZwOpenDirectoryObject");
        m_openLink = Bind<OpenObject>(m_ntdll, "ZwOpenSymbolicLinkObject");
        m_queryLink = Bind<QueryLink>(m_ntdll, "ZwQuerySymbolicLinkObject");
        m_close = Bind<Close>(m_ntdll, "ZwClose");
        UNICODE_STRING link = RTL_CONSTANT_STRING(u"\\DosDevices\\TdlTestLink");
        UNICODE_STRING target = RTL_CONSTANT_STRING(u"\\Device\\TdlTestTarget");
        ASSERT_TRUE(NT_SUCCESS(IoCreateSymbolicLink(&link, &target)));
        m_handles = nt::handles::OpenCount();
    }
    void TearDown() override {
        EXPECT_EQ(nt::handles::OpenCount(), m_handles);
        UNICODE_STRING link = RTL_CONSTANT_STRING(u"\\DosDevices\\TdlTestLink");
        IoDeleteSymbolicLink(&link);
        FreeLibrary(m_ntdll);
        MachineTest::TearDown();
    }

    // Opens `name` relative to the directory and queries it into a target of `maximumBytes`.
    NTSTATUS Query(const char16_t* directory, const char16_t* name, USHORT maximumBytes, std::u16string& target) {
        UNICODE_STRING directoryName;
        RtlInitUnicodeString(&directoryName, directory);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &directoryName, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
        HANDLE directoryHandle = nullptr;
        NTSTATUS status = m_openDirectory(&directoryHandle, DIRECTORY_QUERY, &attributes);
        if (!NT_SUCCESS(status))
            return status;
        UNICODE_STRING linkName;
        RtlInitUnicodeString(&linkName, name);
        InitializeObjectAttributes(&attributes, &linkName, OBJ_CASE_INSENSITIVE, directoryHandle, nullptr);
        HANDLE linkHandle = nullptr;
        status = m_openLink(&linkHandle, SYMBOLIC_LINK_QUERY, &attributes);
        if (NT_SUCCESS(status)) {
            std::u16string buffer(maximumBytes / 2 + 1, u'\0');
            UNICODE_STRING result{0, maximumBytes, buffer.data()};
            status = m_queryLink(linkHandle, &result, nullptr);
            target.assign(buffer.data(), result.Length / 2);
            m_close(linkHandle);
        }
        m_close(directoryHandle);
        return status;
    }

    HMODULE m_ntdll = nullptr;
    OpenObject m_openDirectory = nullptr;
    OpenObject m_openLink = nullptr;
    QueryLink m_queryLink = nullptr;
    Close m_close = nullptr;
    size_t m_handles = 0;
};

TEST_F(NtdllLinks, TheThreeNamesOfTheUserDirectoryAreOneAndNamesIgnoreCase) {
    for (const char16_t* directory : {u"\\??", u"\\DosDevices", u"\\GLOBAL??", u"\\global??"}) {
        std::u16string target;
        EXPECT_EQ(Query(directory, u"tdltestLINK", 200, target), STATUS_SUCCESS);
        EXPECT_EQ(target, u"\\Device\\TdlTestTarget");
    }
}

TEST_F(NtdllLinks, AMissingNameAndATargetTooLongAreRefused) {
    std::u16string target;
    EXPECT_EQ(Query(u"\\GLOBAL??", u"NoSuchLink", 200, target), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(static_cast<ULONG>(STATUS_OBJECT_NAME_NOT_FOUND), 0xC0000034u);
    const USHORT exact = sizeof(u"\\Device\\TdlTestTarget") - sizeof(char16_t);
    EXPECT_EQ(Query(u"\\GLOBAL??", u"TdlTestLink", exact, target), STATUS_SUCCESS);
    EXPECT_EQ(Query(u"\\GLOBAL??", u"TdlTestLink", exact - 1, target), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(static_cast<ULONG>(STATUS_BUFFER_TOO_SMALL), 0xC0000023u);
}

} // namespace
