// The device-class record in capture files: the stored bytes, the layout of older schemas, and interface lists
// that stay in step when a file names an interface class this program does not know.
#include "app/devices/DeviceClass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WinUiControl.h"
#include "devguid.h"

namespace {

const GUID kUnknownInterface = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
const char kUnexpectedGuidMessage[] = "Unexpected Device Interface GUID encountered in Log File";

// Little-endian pieces of an expected record.
struct Bytes {
    std::vector<BYTE> data;
    Bytes& U32(DWORD value) {
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<BYTE>(value >> (8 * i)));
        return *this;
    }
    Bytes& U16(WORD value) {
        data.push_back(static_cast<BYTE>(value));
        data.push_back(static_cast<BYTE>(value >> 8));
        return *this;
    }
    Bytes& Text(const std::string& text) { // the archive's short string form
        data.push_back(static_cast<BYTE>(text.size()));
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& Texts(std::initializer_list<std::string> texts) {
        U32(static_cast<DWORD>(texts.size()));
        for (const std::string& text : texts)
            Text(text);
        return *this;
    }
    Bytes& Guid(const GUID& guid) {
        U32(guid.Data1).U16(guid.Data2).U16(guid.Data3);
        data.insert(data.end(), guid.Data4, guid.Data4 + 8);
        return *this;
    }
    Bytes& Guids(std::initializer_list<GUID> guids) {
        U32(static_cast<DWORD>(guids.size()));
        for (const GUID& guid : guids)
            Guid(guid);
        return *this;
    }
};

// The part every schema stores, for a hub record.
Bytes CommonPart() {
    Bytes b;
    b.Text("{36FC9E60-C465-11CF-8056-444553540000}\\0008")
        .Text("USB")
        .Text("Generic USB Hub")
        .Text("\\Device\\USBPDO-4")
        .Texts({"USB\\VID_7A51&PID_2040&REV_0100", "USB\\VID_7A51&PID_2040"})
        .Texts({"USB\\Class_09"})
        .Guid(GUID_DEVCLASS_USB);
    return b;
}

std::vector<BYTE> Store(CDeviceClass& record) {
    CMemFile file(16);
    {
        CArchive ar(&file, CArchive::store);
        record.Serialize(ar);
        ar.Close();
    }
    std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
    file.SeekToBegin();
    file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// Loads the record and then a DWORD that follows it in the file, which shows the record read exactly its own
// bytes.
DWORD LoadFollowedBy(CDeviceClass& record, std::vector<BYTE> bytes) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    record.Serialize(ar);
    DWORD next = 0;
    ar >> next;
    return next;
}

std::vector<std::string> Strings(const CStringArray& array) {
    std::vector<std::string> strings;
    for (INT_PTR i = 0; i < array.GetSize(); ++i)
        strings.emplace_back(array[i].GetString());
    return strings;
}

// The message boxes about an unknown interface class, each with the error icon.
size_t MessagesShown() {
    size_t count = 0;
    for (const win32::ModalRequest& request : win32::ModalRequests()) {
        if (request.kind == win32::ModalKind::MessageBox && request.text == kUnexpectedGuidMessage) {
            EXPECT_EQ(request.style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
            ++count;
        }
    }
    return count;
}

// Message boxes are answered by the scripts a test queues, and counted.
class DeviceClassSerialize : public ::testing::Test {
protected:
    void SetUp() override { win32::ClearModalRequests(); }
    void TearDown() override { win32::ClearModalRequests(); }
};

TEST_F(DeviceClassSerialize, StoresTheGoldenBytesAndLoadsThemBack) {
    CDeviceClass record(GUID_DEVCLASS_USB, "{36FC9E60-C465-11CF-8056-444553540000}\\0008");
    record.m_ClassName = "USB";
    record.m_DeviceDescription = "Generic USB Hub";
    record.m_PDOName = "\\Device\\USBPDO-4";
    record.m_EnumeratorName = "USB";
    record.m_HardwareIDs.Add("USB\\VID_7A51&PID_2040&REV_0100");
    record.m_HardwareIDs.Add("USB\\VID_7A51&PID_2040");
    record.m_CompatibleIDs.Add("USB\\Class_09");
    record.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HUB);
    record.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_NEC_USB3_HUB);
    record.m_SymbolicLinks.Add("\\\\?\\USB#VID_7A51&PID_2040#7&59a72e62&0&1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    record.m_SymbolicLinks.Add("");
    record.m_DeviceNames.Add("\\Device\\USBPDO-4");
    record.m_DeviceNames.Add("");

    Bytes expected = CommonPart();
    expected.Guids({GUID_DEVINTERFACE_USB_HUB, GUID_DEVINTERFACE_NEC_USB3_HUB})
        .Texts({"\\\\?\\USB#VID_7A51&PID_2040#7&59a72e62&0&1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}", ""})
        .Texts({"\\Device\\USBPDO-4", ""});
    std::vector<BYTE> stored = Store(record);
    EXPECT_EQ(stored, expected.data);

    stored.insert(stored.end(), {0xEF, 0xBE, 0xAD, 0xDE});
    CDeviceClass loaded(CDeviceClass::CurrentSchema);
    EXPECT_EQ(LoadFollowedBy(loaded, stored), 0xDEADBEEFu);
    EXPECT_STREQ(loaded.m_DriverKey, "{36FC9E60-C465-11CF-8056-444553540000}\\0008");
    EXPECT_EQ(loaded.m_ClassGuid, GUID_DEVCLASS_USB);
    EXPECT_STREQ(loaded.m_ClassName, "USB");
    EXPECT_STREQ(loaded.m_DeviceDescription, "Generic USB Hub");
    EXPECT_STREQ(loaded.m_PDOName, "\\Device\\USBPDO-4");
    EXPECT_STREQ(loaded.m_EnumeratorName, "") << "the enumerator is not stored";
    EXPECT_EQ(Strings(loaded.m_HardwareIDs), Strings(record.m_HardwareIDs));
    EXPECT_EQ(Strings(loaded.m_CompatibleIDs), Strings(record.m_CompatibleIDs));
    ASSERT_EQ(loaded.m_InterfaceGuids.GetSize(), 2);
    EXPECT_EQ(loaded.m_InterfaceGuids[0], &GUID_DEVINTERFACE_USB_HUB) << "the program's own constant";
    EXPECT_EQ(loaded.m_InterfaceGuids[1], &GUID_DEVINTERFACE_NEC_USB3_HUB);
    EXPECT_EQ(Strings(loaded.m_SymbolicLinks), Strings(record.m_SymbolicLinks));
    EXPECT_EQ(Strings(loaded.m_DeviceNames), Strings(record.m_DeviceNames));
    EXPECT_EQ(MessagesShown(), 0u);
}

TEST_F(DeviceClassSerialize, SchemasBeforeFourCarryNoInterfaceLists) {
    Bytes schema3 = CommonPart();
    schema3.U32(0xDEADBEEF);
    CDeviceClass loaded(3);
    loaded.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HUB);
    loaded.m_SymbolicLinks.Add("stale");
    EXPECT_EQ(LoadFollowedBy(loaded, schema3.data), 0xDEADBEEFu);
    EXPECT_STREQ(loaded.m_DeviceDescription, "Generic USB Hub");
    EXPECT_EQ(loaded.m_InterfaceGuids.GetSize(), 0);
    EXPECT_EQ(loaded.m_SymbolicLinks.GetSize(), 0);
    EXPECT_EQ(loaded.m_DeviceNames.GetSize(), 0);

    // Stored again, the record takes the current layout, which a current file promises.
    Bytes current = CommonPart();
    current.Guids({}).Texts({}).Texts({});
    EXPECT_EQ(Store(loaded), current.data);
}

TEST_F(DeviceClassSerialize, InterfaceListsStayInStep) {
    struct Case {
        const char* name;
        std::vector<GUID> guids;
        std::vector<std::string> links, names;
        std::vector<const GUID*> keptGuids;
        std::vector<std::string> keptLinks, keptNames;
        size_t messages;
    };
    const Case cases[] = {
        {"an unknown class goes with its link and name",
         {GUID_DEVINTERFACE_USB_HUB, kUnknownInterface, GUID_DEVINTERFACE_NEC_USB3_HUB},
         {"a", "b", "c"},
         {"x", "y", "z"},
         {&GUID_DEVINTERFACE_USB_HUB, &GUID_DEVINTERFACE_NEC_USB3_HUB},
         {"a", "c"},
         {"x", "z"},
         1},
        {"lists of unequal length are cut to the shortest",
         {GUID_DEVINTERFACE_USB_HOST_CONTROLLER, GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER,
          GUID_DEVINTERFACE_USB_DEVICE},
         {"a", "b"},
         {"x", "y", "z"},
         {&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, &GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER},
         {"a", "b"},
         {"x", "y"},
         0},
        {"a located device without links keeps no interface",
         {GUID_DEVINTERFACE_USB_HUB, GUID_DEVINTERFACE_NEC_USB3_HUB},
         {},
         {},
         {},
         {},
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win32::ClearModalRequests();
        for (size_t i = 0; i < c.messages; ++i)
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, kUnexpectedGuidMessage);
        Bytes bytes = CommonPart();
        bytes.U32(static_cast<DWORD>(c.guids.size()));
        for (const GUID& guid : c.guids)
            bytes.Guid(guid);
        bytes.U32(static_cast<DWORD>(c.links.size()));
        for (const std::string& link : c.links)
            bytes.Text(link);
        bytes.U32(static_cast<DWORD>(c.names.size()));
        for (const std::string& name : c.names)
            bytes.Text(name);
        bytes.U32(0xDEADBEEF);

        CDeviceClass loaded(CDeviceClass::CurrentSchema);
        EXPECT_EQ(LoadFollowedBy(loaded, bytes.data), 0xDEADBEEFu) << "loading goes on after the lists";
        std::vector<const GUID*> guids;
        for (INT_PTR i = 0; i < loaded.m_InterfaceGuids.GetSize(); ++i)
            guids.push_back(loaded.m_InterfaceGuids[i]);
        EXPECT_EQ(guids, c.keptGuids);
        EXPECT_EQ(Strings(loaded.m_SymbolicLinks), c.keptLinks);
        EXPECT_EQ(Strings(loaded.m_DeviceNames), c.keptNames);
        EXPECT_EQ(MessagesShown(), c.messages);
        EXPECT_EQ(win32::PendingModalScripts(), 0u);
        EXPECT_TRUE(win32::UnexpectedModalRequests().empty());
    }
}

TEST_F(DeviceClassSerialize, ARecordCutShortEndsTheLoadWithAnArchiveError) {
    std::vector<BYTE> bytes = CommonPart().Guids({GUID_DEVINTERFACE_USB_HUB}).U32(5).Text("one").data;
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    CDeviceClass loaded(CDeviceClass::CurrentSchema);
    try {
        loaded.Serialize(ar);
        ADD_FAILURE() << "no exception";
    } catch (CArchiveException* e) {
        EXPECT_EQ(e->m_cause, CArchiveException::endOfFile);
        e->Delete();
    }
    ar.Abort();
}

} // namespace
