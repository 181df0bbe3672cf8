#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "KernelTest.h"
#include "NtHandleTable.h"
#include "NtRegistryStore.h"
#include "NtText.h"
#include "wdm.h"

namespace {

// A driver's service key, as the machine would have it.
constexpr const char16_t* kServices = u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services";
constexpr const char16_t* kService = u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft";

class RegistryTest : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        for (const char16_t* path :
             {u"\\Registry\\Machine\\SYSTEM", u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet", kServices, kService}) {
            HANDLE h = Create(nullptr, path);
            ZwClose(h);
        }
    }
    void TearDown() override {
        EXPECT_EQ(nt::handles::OpenCount(), 0u) << "a test leaked key handles";
        KernelTest::TearDown();
    }

    static NTSTATUS Open(HANDLE root, const char16_t* path, HANDLE* key, ACCESS_MASK access = KEY_ALL_ACCESS) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, path);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root, nullptr);
        return ZwOpenKey(key, access, &attributes);
    }
    static NTSTATUS CreateKey(HANDLE root, const char16_t* path, HANDLE* key, ULONG* disposition = nullptr,
                              ULONG options = REG_OPTION_NON_VOLATILE) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, path);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root, nullptr);
        return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, nullptr, options, disposition);
    }
    static HANDLE Create(HANDLE root, const char16_t* path) {
        HANDLE key = nullptr;
        EXPECT_EQ(CreateKey(root, path, &key), STATUS_SUCCESS) << nt::text::Utf16ToUtf8(path);
        return key;
    }
    static NTSTATUS Set(HANDLE key, const char16_t* value, ULONG type, const void* data, ULONG size) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, value);
        return ZwSetValueKey(key, &name, 0, type, const_cast<void*>(data), size);
    }
    static NTSTATUS SetDword(HANDLE key, const char16_t* value, ULONG data) {
        return Set(key, value, REG_DWORD, &data, sizeof data);
    }
    // Type and data of a value, through KeyValuePartialInformation.
    static NTSTATUS Query(HANDLE key, const char16_t* value, ULONG* type, std::vector<UCHAR>* data) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, value);
        ULONG needed = 0;
        NTSTATUS status = ZwQueryValueKey(key, &name, KeyValuePartialInformation, nullptr, 0, &needed);
        if (status != STATUS_BUFFER_TOO_SMALL) {
            return status;
        }
        std::vector<UCHAR> buffer(needed);
        status = ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer.data(), needed, &needed);
        if (NT_SUCCESS(status)) {
            KEY_VALUE_PARTIAL_INFORMATION header;
            std::memcpy(&header, buffer.data(), offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data));
            *type = header.Type;
            data->assign(buffer.begin() + offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data),
                         buffer.begin() + offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data) + header.DataLength);
        }
        return status;
    }
    static ULONG QueryDword(HANDLE key, const char16_t* value) {
        ULONG type = 0;
        std::vector<UCHAR> data;
        EXPECT_EQ(Query(key, value, &type, &data), STATUS_SUCCESS) << nt::text::Utf16ToUtf8(value);
        EXPECT_EQ(type, ULONG{REG_DWORD});
        ULONG v = 0;
        std::memcpy(&v, data.data(), std::min(data.size(), sizeof v));
        return v;
    }
};

std::vector<UCHAR> Bytes(const void* p, size_t n) {
    auto b = static_cast<const UCHAR*>(p);
    return std::vector<UCHAR>(b, b + n);
}

TEST_F(RegistryTest, DwordStringAndBinaryValuesRoundTrip) {
    HANDLE key = Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\Parameters");
    const char16_t text[] = u"\\Driver\\usbhub";
    const UCHAR blob[] = {0x00, 0xFF, 0x10, 0x00, 0x7F};
    ASSERT_EQ(SetDword(key, u"BulkMaxSize", 65536), STATUS_SUCCESS);
    ASSERT_EQ(Set(key, u"Name", REG_SZ, text, sizeof text), STATUS_SUCCESS);
    ASSERT_EQ(Set(key, u"Blob", REG_BINARY, blob, sizeof blob), STATUS_SUCCESS);

    EXPECT_EQ(QueryDword(key, u"BulkMaxSize"), 65536u);
    ULONG type = 0;
    std::vector<UCHAR> data;
    ASSERT_EQ(Query(key, u"Name", &type, &data), STATUS_SUCCESS);
    EXPECT_EQ(type, ULONG{REG_SZ});
    EXPECT_EQ(data, Bytes(text, sizeof text));
    ASSERT_EQ(Query(key, u"blob", &type, &data), STATUS_SUCCESS) << "value names ignore case";
    EXPECT_EQ(type, ULONG{REG_BINARY});
    EXPECT_EQ(data, Bytes(blob, sizeof blob));

    ASSERT_EQ(SetDword(key, u"BULKMAXSIZE", 7), STATUS_SUCCESS);
    EXPECT_EQ(QueryDword(key, u"BulkMaxSize"), 7u) << "setting under another case replaces the value";
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"Name");
    EXPECT_EQ(ZwDeleteValueKey(key, &name), STATUS_SUCCESS);
    EXPECT_EQ(Query(key, u"Name", &type, &data), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(ZwDeleteValueKey(key, &name), STATUS_OBJECT_NAME_NOT_FOUND);
    ZwClose(key);
}

TEST_F(RegistryTest, KeysOpenWhateverTheCaseAndKeepTheirOwn) {
    HANDLE created =
        Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\ActiveNodes");
    ZwClose(created);
    HANDLE key = nullptr;
    ASSERT_EQ(Open(nullptr, u"\\REGISTRY\\machine\\system\\currentcontrolset\\SERVICES\\kxtdloft\\activenodes", &key),
              STATUS_SUCCESS);
    alignas(8) UCHAR buffer[512];
    ULONG length = 0;
    ASSERT_EQ(ZwQueryKey(key, KeyNameInformation, buffer, sizeof buffer, &length), STATUS_SUCCESS);
    ULONG nameLength;
    std::memcpy(&nameLength, buffer, sizeof nameLength);
    std::u16string fullName(reinterpret_cast<const char16_t*>(buffer + 4), nameLength / 2);
    EXPECT_EQ(fullName, u"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\ActiveNodes");
    ZwClose(key);
}

TEST_F(RegistryTest, CreateTellsCreatedFromOpenedAndMakesNoIntermediateKeys) {
    HANDLE service = nullptr;
    ASSERT_EQ(Open(nullptr, kService, &service), STATUS_SUCCESS);
    ULONG disposition = 0;
    HANDLE key = nullptr;
    ASSERT_EQ(CreateKey(service, u"Parameters", &key, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, ULONG{REG_CREATED_NEW_KEY});
    ZwClose(key);
    ASSERT_EQ(CreateKey(service, u"PARAMETERS", &key, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, ULONG{REG_OPENED_EXISTING_KEY});
    ZwClose(key);

    EXPECT_EQ(CreateKey(service, u"ActiveNodes\\{36FC9E60-C465-11CF-8056-444553540000}", &key, &disposition),
              STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(Open(service, u"ActiveNodes", &key), STATUS_OBJECT_NAME_NOT_FOUND) << "no parent was made on the way";
    EXPECT_EQ(Open(service, u"\\Parameters", &key), STATUS_OBJECT_PATH_SYNTAX_BAD);
    EXPECT_EQ(Open(nullptr, u"Registry\\Machine", &key), STATUS_OBJECT_PATH_SYNTAX_BAD);
    ZwClose(service);
}

TEST_F(RegistryTest, DeleteKeyIsRefusedWhileSubkeysRemain) {
    HANDLE parent = Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\ActiveNodes");
    HANDLE child = Create(parent, u"{36FC9E60-C465-11CF-8056-444553540000}");
    HANDLE grandchild = Create(child, u"0005");
    EXPECT_EQ(ZwDeleteKey(parent), STATUS_CANNOT_DELETE);
    EXPECT_EQ(ZwDeleteKey(child), STATUS_CANNOT_DELETE);
    EXPECT_EQ(ZwDeleteKey(grandchild), STATUS_SUCCESS);
    EXPECT_EQ(SetDword(grandchild, u"<03>", 8), STATUS_KEY_DELETED) << "an open handle to a deleted key";
    EXPECT_EQ(ZwDeleteKey(child), STATUS_SUCCESS);
    HANDLE reopened = nullptr;
    EXPECT_EQ(Open(parent, u"{36FC9E60-C465-11CF-8056-444553540000}", &reopened), STATUS_OBJECT_NAME_NOT_FOUND);
    for (HANDLE h : {parent, child, grandchild}) {
        ZwClose(h);
    }
    HANDLE machine = nullptr;
    ASSERT_EQ(Open(nullptr, u"\\Registry\\Machine", &machine), STATUS_SUCCESS);
    HANDLE user = nullptr;
    ASSERT_EQ(Open(nullptr, u"\\Registry\\User", &user), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteKey(user), STATUS_CANNOT_DELETE) << "the roots stay";
    ZwClose(machine);
    ZwClose(user);
}

TEST_F(RegistryTest, QueriesReportTheSizeNeededAsThePlatformDoes) {
    HANDLE key = Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\Parameters");
    ASSERT_EQ(SetDword(key, u"CaptureOnceOnBoot", 1), STATUS_SUCCESS);
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"CaptureOnceOnBoot");
    struct Case {
        KEY_VALUE_INFORMATION_CLASS infoClass;
        ULONG length;
        NTSTATUS status;
        ULONG needed;
    };
    const ULONG nameBytes = 34;
    const Case cases[] = {
        {KeyValuePartialInformation, 0, STATUS_BUFFER_TOO_SMALL, 16},
        {KeyValuePartialInformation, 11, STATUS_BUFFER_TOO_SMALL, 16},
        {KeyValuePartialInformation, 12, STATUS_BUFFER_OVERFLOW, 16},
        {KeyValuePartialInformation, 16, STATUS_SUCCESS, 16},
        {KeyValueBasicInformation, 12, STATUS_BUFFER_OVERFLOW, 12 + nameBytes},
        {KeyValueBasicInformation, 12 + nameBytes, STATUS_SUCCESS, 12 + nameBytes},
        {KeyValueFullInformation, 19, STATUS_BUFFER_TOO_SMALL, 56 + 4},
        {KeyValueFullInformation, 64, STATUS_SUCCESS, 56 + 4},
    };
    for (const Case& c : cases) {
        alignas(8) UCHAR buffer[64] = {};
        ULONG needed = 0;
        EXPECT_EQ(ZwQueryValueKey(key, &name, c.infoClass, buffer, c.length, &needed), c.status)
            << c.infoClass << "/" << c.length;
        EXPECT_EQ(needed, c.needed) << c.infoClass << "/" << c.length;
        if (c.status == STATUS_BUFFER_OVERFLOW && c.infoClass == KeyValuePartialInformation) {
            KEY_VALUE_PARTIAL_INFORMATION fixed;
            std::memcpy(&fixed, buffer, 12);
            EXPECT_EQ(fixed.Type, ULONG{REG_DWORD}) << "the fixed part is filled on overflow";
            EXPECT_EQ(fixed.DataLength, 4u);
        }
        if (c.status == STATUS_SUCCESS && c.infoClass == KeyValueFullInformation) {
            KEY_VALUE_FULL_INFORMATION full;
            std::memcpy(&full, buffer, offsetof(KEY_VALUE_FULL_INFORMATION, Name));
            EXPECT_EQ(full.DataOffset, 56u);
            EXPECT_EQ(full.NameLength, nameBytes);
            ULONG value = 0;
            std::memcpy(&value, buffer + full.DataOffset, 4);
            EXPECT_EQ(value, 1u);
        }
    }
    ZwClose(key);
}

TEST_F(RegistryTest, EnumerationSortsSubkeysAndKeepsValuesInCreationOrder) {
    HANDLE key = Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\Enum");
    for (const char16_t* sub : {u"beta", u"Alpha", u"gamma"}) {
        ZwClose(Create(key, sub));
    }
    for (const char16_t* value : {u"z", u"a", u"m"}) {
        SetDword(key, value, 0);
    }
    std::vector<std::u16string> subkeys, values;
    alignas(8) UCHAR buffer[256];
    ULONG length = 0;
    for (ULONG i = 0; ZwEnumerateKey(key, i, KeyBasicInformation, buffer, sizeof buffer, &length) == STATUS_SUCCESS;
         ++i) {
        KEY_BASIC_INFORMATION info;
        std::memcpy(&info, buffer, offsetof(KEY_BASIC_INFORMATION, Name));
        subkeys.emplace_back(reinterpret_cast<const char16_t*>(buffer + 16), info.NameLength / 2);
    }
    for (ULONG i = 0;
         ZwEnumerateValueKey(key, i, KeyValueBasicInformation, buffer, sizeof buffer, &length) == STATUS_SUCCESS; ++i) {
        KEY_VALUE_BASIC_INFORMATION info;
        std::memcpy(&info, buffer, offsetof(KEY_VALUE_BASIC_INFORMATION, Name));
        values.emplace_back(reinterpret_cast<const char16_t*>(buffer + 12), info.NameLength / 2);
    }
    EXPECT_EQ(subkeys, (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));
    EXPECT_EQ(values, (std::vector<std::u16string>{u"z", u"a", u"m"}));
    EXPECT_EQ(ZwEnumerateKey(key, 3, KeyBasicInformation, buffer, sizeof buffer, &length), STATUS_NO_MORE_ENTRIES);

    ASSERT_EQ(ZwQueryKey(key, KeyFullInformation, buffer, sizeof buffer, &length), STATUS_SUCCESS);
    KEY_FULL_INFORMATION full;
    std::memcpy(&full, buffer, offsetof(KEY_FULL_INFORMATION, Class));
    EXPECT_EQ(full.SubKeys, 3u);
    EXPECT_EQ(full.Values, 3u);
    EXPECT_EQ(full.MaxNameLen, 10u);
    EXPECT_EQ(full.MaxValueDataLen, 4u);
    ZwClose(key);
}

TEST_F(RegistryTest, HandlesCarryTheAccessTheyWereOpenedWith) {
    HANDLE key = nullptr;
    ASSERT_EQ(Open(nullptr, kService, &key, KEY_READ), STATUS_SUCCESS);
    EXPECT_EQ(SetDword(key, u"Start", 0), STATUS_ACCESS_DENIED);
    EXPECT_EQ(ZwDeleteKey(key), STATUS_ACCESS_DENIED);
    ZwClose(key);
    ASSERT_EQ(Open(nullptr, kService, &key, GENERIC_WRITE), STATUS_SUCCESS);
    EXPECT_EQ(SetDword(key, u"Start", 0), STATUS_SUCCESS);
    ZwClose(key);
    EXPECT_EQ(SetDword(key, u"Start", 0), STATUS_INVALID_HANDLE);
}

TEST_F(RegistryTest, InjectedFailuresSurfaceAsTheStatusTheCallerSees) {
    HANDLE service = nullptr;
    ASSERT_EQ(Open(nullptr, kService, &service), STATUS_SUCCESS);
    nt::registry::InjectFailure({nt::registry::Operation::CreateKey, std::u16string(kService) + u"\\Parameters",
                                 std::nullopt, STATUS_INSUFFICIENT_RESOURCES, 0, 1});
    HANDLE key = nullptr;
    EXPECT_EQ(CreateKey(service, u"parameters", &key), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(Open(service, u"Parameters", &key), STATUS_OBJECT_NAME_NOT_FOUND) << "the failed call changed nothing";
    ASSERT_EQ(CreateKey(service, u"Parameters", &key), STATUS_SUCCESS) << "the plan failed one call only";

    nt::registry::InjectFailure({nt::registry::Operation::SetValue, kService, u"MemlogFlags", STATUS_ACCESS_DENIED});
    EXPECT_EQ(SetDword(key, u"memlogflags", 1), STATUS_ACCESS_DENIED) << "a key below the plan's path matches";
    EXPECT_EQ(SetDword(key, u"CaptureBulk", 1), STATUS_SUCCESS) << "other values are not affected";

    // QueryDword asks twice (the size, then the data): both are skipped.
    nt::registry::InjectFailure(
        {nt::registry::Operation::QueryValue, kService, std::nullopt, STATUS_IO_DEVICE_ERROR, 2, UINT64_MAX});
    EXPECT_EQ(QueryDword(key, u"CaptureBulk"), 1u) << "skipped";
    ULONG type;
    std::vector<UCHAR> data;
    EXPECT_EQ(Query(key, u"CaptureBulk", &type, &data), STATUS_IO_DEVICE_ERROR);
    nt::registry::ClearInjectedFailures();
    EXPECT_EQ(QueryDword(key, u"CaptureBulk"), 1u);
    ZwClose(key);
    ZwClose(service);
}

TEST_F(RegistryTest, QueryRegistryValuesReadsAnAbsoluteDwordWithItsDefault) {
    HANDLE key = Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\Parameters");
    SetDword(key, u"TraceFlags", 9);
    ZwClose(key);
    auto query = [](const char16_t* path, const char16_t* value, ULONG& variable) {
        RTL_QUERY_REGISTRY_TABLE table[2] = {};
        table[0].Flags = RTL_QUERY_REGISTRY_DIRECT;
        table[0].Name = const_cast<PWSTR>(value);
        table[0].EntryContext = &variable;
        table[0].DefaultType = REG_DWORD;
        table[0].DefaultData = &variable; // the current value is the default
        table[0].DefaultLength = sizeof(ULONG);
        return RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, path, table, nullptr, nullptr);
    };
    const std::u16string parameters = std::u16string(kService) + u"\\Parameters";
    ULONG traceFlags = 5, debugLevel = 4;
    EXPECT_EQ(query(parameters.c_str(), u"TraceFlags", traceFlags), STATUS_SUCCESS);
    EXPECT_EQ(traceFlags, 9u);
    EXPECT_EQ(query(parameters.c_str(), u"DebugLevel", debugLevel), STATUS_SUCCESS);
    EXPECT_EQ(debugLevel, 4u) << "absent: the default, i.e. the value kept";
    EXPECT_EQ(query((std::u16string(kService) + u"\\Missing").c_str(), u"DebugLevel", debugLevel),
              STATUS_OBJECT_NAME_NOT_FOUND);

    // Relative to the services root, with a string read into a pool buffer and a required value missing.
    UNICODE_STRING text{};
    RTL_QUERY_REGISTRY_TABLE table[3] = {};
    table[0].Flags = RTL_QUERY_REGISTRY_DIRECT;
    table[0].Name = const_cast<PWSTR>(u"ImagePath");
    table[0].EntryContext = &text;
    table[0].DefaultType = REG_SZ;
    table[0].DefaultData = const_cast<PWSTR>(u"kxtdloft.sys");
    table[1].Flags = RTL_QUERY_REGISTRY_DIRECT | RTL_QUERY_REGISTRY_REQUIRED;
    table[1].Name = const_cast<PWSTR>(u"Start");
    ULONG start = 0;
    table[1].EntryContext = &start;
    EXPECT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_SERVICES, u"KxTdloft", table, nullptr, nullptr),
              STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(std::u16string(nt::text::View(&text)), u"kxtdloft.sys");
    RtlFreeUnicodeString(&text);
}

TEST_F(RegistryTest, QueryRoutineSeesEachValueAndEachStringOfAMultiString) {
    HANDLE key = Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\Multi");
    const char16_t list[] = u"one\0two\0";
    Set(key, u"List", REG_MULTI_SZ, list, sizeof list);
    ZwClose(key);
    std::vector<std::u16string> seen;
    RTL_QUERY_REGISTRY_TABLE table[2] = {};
    table[0].QueryRoutine = [](PWSTR, ULONG type, PVOID data, ULONG, PVOID context, PVOID) -> NTSTATUS {
        EXPECT_EQ(type, ULONG{REG_SZ});
        static_cast<std::vector<std::u16string>*>(context)->push_back(static_cast<const char16_t*>(data));
        return STATUS_SUCCESS;
    };
    table[0].Name = const_cast<PWSTR>(u"List");
    ASSERT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_SERVICES, u"KxTdloft\\Multi", table, &seen, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"one", u"two"}));
}

class RegistryFileTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        // One folder per process and test, so that concurrent runs never share a state file.
        m_dir =
            std::filesystem::temp_directory_path() / ("tdl-registry-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_file = m_dir / "registry.txt";
    }
    void TearDown() override {
        RegistryTest::TearDown();
        std::filesystem::remove_all(m_dir);
    }
    // A new boot: the store forgets everything and comes back from the file.
    void Reboot() {
        nt::registry::Reset();
        HANDLE probe = nullptr;
        ASSERT_EQ(Open(nullptr, kService, &probe), STATUS_OBJECT_NAME_NOT_FOUND) << "the reset store is empty";
        ASSERT_EQ(nt::registry::AttachFile(m_file), STATUS_SUCCESS);
    }
    std::filesystem::path m_dir;
    std::filesystem::path m_file;
};

TEST_F(RegistryFileTest, ValuesSurviveARebootThroughTheStateFile) {
    ASSERT_EQ(nt::registry::AttachFile(m_file), STATUS_SUCCESS) << "a missing file is an empty store";
    HANDLE services = Create(nullptr, u"\\Registry\\Machine\\SYSTEM");
    ZwClose(services);
    ZwClose(Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet"));
    ZwClose(Create(nullptr, kServices));
    HANDLE service = Create(nullptr, kService);
    HANDLE parameters = Create(service, u"Parameters");
    SetDword(parameters, u"CaptureOnceOnBoot", 1);
    const char16_t name[] = u"Tindaloft \"quoted\" \\ path\nline \u00e9\u4e2d";
    Set(parameters, u"Text", REG_SZ, name, sizeof name);
    const UCHAR odd[] = {1, 2, 3};
    Set(parameters, u"Odd", REG_SZ, odd, sizeof odd); // a string without its NUL, of odd length
    ULONGLONG q = 0x0102030405060708ull;
    Set(parameters, u"Q", REG_QWORD, &q, sizeof q);
    const char16_t multi[] = u"a\0b c\0";
    Set(parameters, u"", REG_MULTI_SZ, multi, sizeof multi);
    ULONG be = 0x01000000;
    Set(parameters, u"BE", REG_DWORD_BIG_ENDIAN, &be, sizeof be);
    Set(parameters, u"None", REG_NONE, nullptr, 0);
    HANDLE scratch = nullptr;
    ASSERT_EQ(CreateKey(service, u"Scratch", &scratch, nullptr, REG_OPTION_VOLATILE), STATUS_SUCCESS);
    ZwClose(scratch);
    ZwClose(parameters);
    ZwClose(service);

    Reboot();

    HANDLE key = nullptr;
    ASSERT_EQ(Open(nullptr, (std::u16string(kService) + u"\\Parameters").c_str(), &key), STATUS_SUCCESS);
    EXPECT_EQ(QueryDword(key, u"CaptureOnceOnBoot"), 1u);
    struct Expected {
        const char16_t* value;
        ULONG type;
        std::vector<UCHAR> data;
    };
    const Expected expected[] = {
        {u"Text", REG_SZ, Bytes(name, sizeof name)},  {u"Odd", REG_SZ, Bytes(odd, sizeof odd)},
        {u"Q", REG_QWORD, Bytes(&q, sizeof q)},       {u"", REG_MULTI_SZ, Bytes(multi, sizeof multi)},
        {u"BE", REG_DWORD_BIG_ENDIAN, Bytes(&be, 4)}, {u"None", REG_NONE, {}},
    };
    for (const Expected& e : expected) {
        ULONG type = 0;
        std::vector<UCHAR> data;
        ASSERT_EQ(Query(key, e.value, &type, &data), STATUS_SUCCESS) << nt::text::Utf16ToUtf8(e.value);
        EXPECT_EQ(type, e.type) << nt::text::Utf16ToUtf8(e.value);
        EXPECT_EQ(data, e.data) << nt::text::Utf16ToUtf8(e.value);
    }
    ZwClose(key);
    EXPECT_EQ(Open(nullptr, (std::u16string(kService) + u"\\Scratch").c_str(), &key), STATUS_OBJECT_NAME_NOT_FOUND)
        << "volatile keys do not survive";

    std::ifstream in(m_file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\Parameters]\n"
                        "\"CaptureOnceOnBoot\"=dword:00000001\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Odd\"=hex(1):01 02 03"), std::string::npos) << text;
    EXPECT_NE(text.find("@=multi_sz:\"a\",\"b c\""), std::string::npos) << text;
}

TEST_F(RegistryFileTest, AMalformedFileIsRefusedAndTheStoreKeptAsItWas) {
    {
        std::ofstream out(m_file);
        out << "[\\REGISTRY\\MACHINE\\Software]\n\"Good\"=dword:00000001\n\"Bad\"=dword:12\n";
    }
    std::string error;
    EXPECT_EQ(nt::registry::AttachFile(m_file, &error), STATUS_REGISTRY_CORRUPT);
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    HANDLE key = nullptr;
    EXPECT_EQ(Open(nullptr, kService, &key), STATUS_SUCCESS) << "the store still holds what it had";
    ZwClose(key);
    EXPECT_FALSE(nt::registry::AttachedFile().has_value());
}

TEST_F(RegistryFileTest, TextFormRoundTripsAWholeStore) {
    HANDLE key = Create(nullptr, u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\KxTdloft\\Weird%]Name");
    SetDword(key, u"v", 3);
    ZwClose(key);
    std::string first = nt::registry::SaveToText();
    ASSERT_EQ(nt::registry::LoadFromText(first), STATUS_SUCCESS);
    EXPECT_EQ(nt::registry::SaveToText(), first);
    EXPECT_NE(first.find("Weird%0025%005dName]"), std::string::npos) << first;
}

} // namespace
