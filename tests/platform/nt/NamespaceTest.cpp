#include <string>
#include <vector>

#include "KernelTest.h"
#include "NtObjectNamespace.h"
#include "NtText.h"
#include "wdm.h"

namespace {

using NamespaceTest = KernelTest;

std::u16string NameOf(PVOID object) {
    alignas(8) UCHAR buffer[256];
    ULONG length = 0;
    auto* info = reinterpret_cast<POBJECT_NAME_INFORMATION>(buffer);
    EXPECT_EQ(ObQueryNameString(object, info, sizeof buffer, &length), STATUS_SUCCESS);
    return std::u16string(nt::text::View(&info->Name));
}

int g_device, g_driver; // stand-ins for object bodies; the namespace never reads them

TEST_F(NamespaceTest, DosDeviceLinkResolvesFromEveryAliasToTheDevice) {
    ASSERT_EQ(nt::ob::InsertObject(u"\\Device\\KxTdloft", nt::ob::Kind::Device, &g_device), STATUS_SUCCESS);
    UNICODE_STRING link = U(u"\\DosDevices\\Tindaloft");
    UNICODE_STRING device = U(u"\\Device\\KxTdloft");
    ASSERT_EQ(IoCreateSymbolicLink(&link, &device), STATUS_SUCCESS);
    EXPECT_EQ(IoCreateSymbolicLink(&link, &device), STATUS_OBJECT_NAME_COLLISION);

    for (const char16_t* path :
         {u"\\DosDevices\\Tindaloft", u"\\??\\tindaloft", u"\\GLOBAL??\\TINDALOFT", u"\\device\\kxtdloft"}) {
        nt::ob::Entry entry;
        ASSERT_EQ(nt::ob::Lookup(path, entry), STATUS_SUCCESS) << nt::text::Utf16ToUtf8(path);
        EXPECT_EQ(entry.object, &g_device);
        EXPECT_EQ(entry.path, u"\\Device\\KxTdloft") << "names keep the case they were created with";
    }
    nt::ob::Entry linkEntry;
    ASSERT_EQ(nt::ob::Lookup(u"\\??\\Tindaloft", linkEntry, true), STATUS_SUCCESS);
    EXPECT_EQ(linkEntry.kind, nt::ob::Kind::SymbolicLink);
    EXPECT_EQ(linkEntry.path, u"\\GLOBAL??\\Tindaloft");

    ASSERT_EQ(IoDeleteSymbolicLink(&link), STATUS_SUCCESS);
    nt::ob::Entry gone;
    EXPECT_EQ(nt::ob::Lookup(u"\\??\\Tindaloft", gone), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(IoDeleteSymbolicLink(&link), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(IoDeleteSymbolicLink(&device), STATUS_OBJECT_TYPE_MISMATCH) << "only links are deleted so";
}

TEST_F(NamespaceTest, ObjectNamesAreQueriedWithTheirFullPath) {
    ASSERT_EQ(nt::ob::InsertObject(u"\\Driver\\usbhub", nt::ob::Kind::Driver, &g_driver), STATUS_SUCCESS);
    EXPECT_EQ(NameOf(&g_driver), u"\\Driver\\usbhub");

    int unnamed = 0;
    EXPECT_EQ(NameOf(&unnamed), u"") << "an unnamed object has an empty name";

    OBJECT_NAME_INFORMATION tooSmall;
    ULONG needed = 0;
    EXPECT_EQ(ObQueryNameString(&g_driver, &tooSmall, sizeof tooSmall, &needed), STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(needed, sizeof(OBJECT_NAME_INFORMATION) + sizeof(u"\\Driver\\usbhub"));

    EXPECT_EQ(nt::ob::RemoveObject(&g_driver), 1u);
    EXPECT_EQ(NameOf(&g_driver), u"");
}

TEST_F(NamespaceTest, InsertionNeedsAnExistingDirectoryAndAWellFormedPath) {
    EXPECT_EQ(nt::ob::InsertObject(u"\\Nowhere\\X", nt::ob::Kind::Device, &g_device), STATUS_OBJECT_PATH_NOT_FOUND);
    EXPECT_EQ(nt::ob::InsertObject(u"Device\\X", nt::ob::Kind::Device, &g_device), STATUS_OBJECT_NAME_INVALID);
    EXPECT_EQ(nt::ob::InsertObject(u"\\Device\\\\X", nt::ob::Kind::Device, &g_device), STATUS_OBJECT_NAME_INVALID);
    ASSERT_EQ(nt::ob::InsertObject(u"\\Device\\USBFDO-0", nt::ob::Kind::Device, &g_device), STATUS_SUCCESS);
    EXPECT_EQ(nt::ob::InsertObject(u"\\DEVICE\\usbfdo-0", nt::ob::Kind::Device, &g_driver),
              STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(nt::ob::Remove(u"\\Device"), STATUS_DIRECTORY_NOT_EMPTY);
}

// The native calls user mode uses to read "HCD0" and friends.
TEST_F(NamespaceTest, SymbolicLinkTargetIsReadRelativeToItsDirectory) {
    ASSERT_EQ(nt::ob::CreateSymbolicLink(u"\\GLOBAL??\\HCD0", u"\\Device\\USBFDO-0"), STATUS_SUCCESS);
    ASSERT_EQ(nt::ob::CreateSymbolicLink(u"\\GLOBAL??\\HCD1", u"\\Device\\USBFDO-1"), STATUS_SUCCESS);
    UNICODE_STRING dirName = U(u"\\GLOBAL??");
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &dirName, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE directory = nullptr;
    ASSERT_EQ(ZwOpenDirectoryObject(&directory, DIRECTORY_QUERY, &attributes), STATUS_SUCCESS);

    UNICODE_STRING linkName = U(u"hcd0");
    InitializeObjectAttributes(&attributes, &linkName, OBJ_CASE_INSENSITIVE, directory, nullptr);
    HANDLE link = nullptr;
    ASSERT_EQ(ZwOpenSymbolicLinkObject(&link, SYMBOLIC_LINK_QUERY, &attributes), STATUS_SUCCESS);

    // A target string of (size - 1) bytes holds at most (size - 1) / 2 characters.
    WCHAR buffer[64];
    UNICODE_STRING target = {0, 31, buffer};
    ULONG needed = 0;
    EXPECT_EQ(ZwQuerySymbolicLinkObject(link, &target, &needed), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(needed, 34u);
    target.MaximumLength = 33;
    ASSERT_EQ(ZwQuerySymbolicLinkObject(link, &target, &needed), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(nt::text::View(&target)), u"\\Device\\USBFDO-0");

    EXPECT_EQ(ZwClose(link), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(link), STATUS_INVALID_HANDLE);
    UNICODE_STRING missing = U(u"HCD7");
    InitializeObjectAttributes(&attributes, &missing, OBJ_CASE_INSENSITIVE, directory, nullptr);
    EXPECT_EQ(ZwOpenSymbolicLinkObject(&link, SYMBOLIC_LINK_QUERY, &attributes), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(ZwClose(directory), STATUS_SUCCESS);
}

TEST_F(NamespaceTest, DirectoryListingComesInPiecesWhenTheBufferIsSmall) {
    for (const char16_t* path : {u"\\GLOBAL??\\HCD1", u"\\GLOBAL??\\HCD0"}) {
        ASSERT_EQ(nt::ob::CreateSymbolicLink(path, u"\\Device\\X"), STATUS_SUCCESS);
    }
    UNICODE_STRING dirName = U(u"\\??");
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &dirName, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE directory = nullptr;
    ASSERT_EQ(ZwOpenDirectoryObject(&directory, DIRECTORY_QUERY, &attributes), STATUS_SUCCESS);

    alignas(8) UCHAR buffer[512];
    ULONG context = 0, length = 0;
    std::vector<std::u16string> names;
    NTSTATUS status;
    while ((status = ZwQueryDirectoryObject(directory, buffer, sizeof buffer, TRUE, FALSE, &context, &length)) ==
           STATUS_SUCCESS) {
        auto* info = reinterpret_cast<POBJECT_DIRECTORY_INFORMATION>(buffer);
        names.push_back(std::u16string(nt::text::View(&info->Name)));
        EXPECT_EQ(std::u16string(nt::text::View(&info->TypeName)), u"SymbolicLink");
    }
    EXPECT_EQ(status, STATUS_NO_MORE_ENTRIES);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"HCD0", u"HCD1"}));

    context = 0;
    EXPECT_EQ(ZwQueryDirectoryObject(directory, buffer, 40, FALSE, TRUE, &context, &length), STATUS_BUFFER_TOO_SMALL);
    ZwClose(directory);
}

} // namespace
