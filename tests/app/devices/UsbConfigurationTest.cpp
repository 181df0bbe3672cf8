#include "app/devices/UsbConfiguration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ArchiveImage.h"
#include "ConfigurationBuffer.h"
#include "tests/app/core/ArchiveBytes.h"

namespace {

using Bytes = std::vector<BYTE>;

std::unique_ptr<CUsbConfiguration> Over(const Bytes& descriptors) {
    return std::unique_ptr<CUsbConfiguration>(devtest::NewConfiguration(descriptors));
}

Bytes Config(BYTE numInterfaces) {
    return {9, 2, 0, 0, numInterfaces, 1, 0, 0x80, 50};
}
Bytes Interface(BYTE number, BYTE cls, BYTE sub, BYTE prot) {
    return {9, 4, number, 0, 1, cls, sub, prot, 0};
}
Bytes Endpoint(BYTE address) {
    return {7, 5, address, 2, 0, 2, 0};
}
Bytes Companion() {
    return {6, 48, 0, 0, 0, 0};
}
Bytes Association(BYTE first) {
    return {8, 11, first, 2, 0xE, 3, 0, 0};
}
Bytes Other(BYTE type, BYTE length) {
    Bytes b(length, 0);
    b[0] = length;
    b[1] = type;
    return b;
}
Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// What the walk recorded, per interface: "<interface number>:e<endpoints>c<companions>o<others>", and the
// association count.
std::string Shape(const CUsbConfiguration& c) {
    std::string s = "a" + std::to_string(c.m_AssocDescs.GetSize());
    for (INT_PTR i = 0; i < c.m_Interfaces.GetSize(); ++i) {
        const CUsbInterface* p = c.m_Interfaces[i];
        s += " " + std::to_string(p->m_pInterfaceDesc[2]) + ":e" + std::to_string(p->m_Endpoints.GetSize()) + "c" +
             std::to_string(p->m_EndpointCompanions.GetSize()) + "o" + std::to_string(p->m_OtherDescs.GetSize());
    }
    return s;
}

TEST(ParseConfigurationDescriptor, SplitsTheSetIntoInterfacesAndAssociations) {
    const struct {
        const char* name;
        Bytes descriptors;
        const char* shape;
    } cases[] = {
        {"interfaces own what follows them",
         Join({Config(2), Interface(0, 3, 1, 1), Other(0x21, 9), Endpoint(0x81), Interface(1, 8, 6, 0x50),
               Endpoint(0x82), Endpoint(0x02)}),
         "a0 0:e1c0o1 1:e2c0o0"},
        {"an association keeps the current interface",
         Join({Config(2), Interface(0, 0xE, 1, 0), Association(1), Endpoint(0x81), Interface(1, 0xE, 2, 0)}),
         "a1 0:e1c0o0 1:e0c0o0"},
        {"what comes before any interface is dropped",
         Join({Config(1), Endpoint(0x81), Companion(), Other(0x24, 5), Interface(0, 3, 0, 0)}), "a0 0:e0c0o0"},
        {"companions attach to the interface",
         Join({Config(1), Interface(0, 8, 6, 0x50), Endpoint(0x81), Companion(), Endpoint(0x02), Companion()}),
         "a0 0:e2c2o0"},
        {"bLength 0 ends the walk", Join({Config(1), Interface(0, 3, 0, 0), Bytes{0, 5, 0x81}, Endpoint(0x82)}),
         "a0 0:e0c0o0"},
        {"bLength 1 ends the walk", Join({Config(1), Interface(0, 3, 0, 0), Bytes{1, 5}}), "a0 0:e0c0o0"},
        {"a descriptor running past the end is not recorded",
         Join({Config(1), Interface(0, 3, 0, 0), Endpoint(0x81), Bytes{7, 5, 0x82}}), "a0 0:e1c0o0"},
        {"a lone trailing byte is no descriptor", Join({Config(1), Interface(0, 3, 0, 0), Bytes{7}}), "a0 0:e0c0o0"},
        {"short typed descriptors are kept as others",
         Join({Config(1), Interface(0, 3, 0, 0), Other(5, 4), Other(48, 3), Other(4, 5)}), "a0 0:e0c0o3"},
        {"a short association is no association", Join({Config(1), Interface(0, 3, 0, 0), Other(11, 4)}),
         "a0 0:e0c0o1"},
        {"nothing but the header", Config(0), "a0"},
        {"an empty set", Bytes{}, "a0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CUsbConfiguration> configuration = Over(c.descriptors);
        EXPECT_TRUE(configuration->ParseConfigurationDescriptor());
        EXPECT_EQ(c.shape, Shape(*configuration));
        // A second parse replaces the first.
        configuration->ParseConfigurationDescriptor();
        EXPECT_EQ(c.shape, Shape(*configuration));
    }
}

TEST(ParseConfigurationDescriptor, RecordsPointIntoTheBuffer) {
    std::unique_ptr<CUsbConfiguration> c =
        Over(Join({Config(1), Interface(0, 3, 1, 2), Endpoint(0x81), Companion(), Other(0x21, 9)}));
    c->ParseConfigurationDescriptor();
    ASSERT_EQ(1, c->m_Interfaces.GetSize());
    const CUsbInterface* p = c->m_Interfaces[0];
    EXPECT_EQ(c->m_pConfigDesc + 9, p->m_pInterfaceDesc);
    EXPECT_EQ(0x81, p->m_Endpoints[0]->bEndpointAddress);
    EXPECT_EQ(reinterpret_cast<BYTE*>(p->m_Endpoints[0]) + 7, reinterpret_cast<BYTE*>(p->m_EndpointCompanions[0]));
    EXPECT_EQ(0x21, p->m_OtherDescs[0][1]);
    EXPECT_EQ(c->m_pBuffer + 8 + 9 + 9 + 7 + 6 + 9 - 1, c->m_pLast);
}

Bytes Record(DWORD total, DWORD offset, const Bytes& buffer) {
    devtest::Image image;
    image.U32(total).U32(offset).Raw(buffer.data(), buffer.size());
    return image.bytes;
}

TEST(UsbConfigurationSerialize, StoresTheWholeBufferAndLoadsItBackWithItsHeader) {
    const Bytes descriptors = Join({Config(1), Interface(0, 8, 6, 0x50), Endpoint(0x81)});
    std::unique_ptr<CUsbConfiguration> live = Over(descriptors);
    const BYTE head[8] = {7, 0, 0x01, 0x01, 25, 0, 0, 0}; // StackID 7, selector 257, length 25
    std::memcpy(live->m_pBuffer, head, sizeof head);
    Bytes buffer(head, head + 8);
    buffer.insert(buffer.end(), descriptors.begin(), descriptors.end());
    const Bytes stored = apptest::Store(*live);
    EXPECT_EQ(Record(33, 8, buffer), stored);

    CUsbConfiguration loaded;
    devtest::LoadImage(loaded, stored, nullptr);
    ASSERT_NE(nullptr, loaded.m_pBuffer);
    EXPECT_EQ(0, std::memcmp(loaded.m_pBuffer, buffer.data(), buffer.size())) << "the request head is kept";
    EXPECT_EQ(loaded.m_pBuffer + 8, loaded.m_pConfigDesc);
    EXPECT_EQ(loaded.m_pBuffer + 32, loaded.m_pLast);
    EXPECT_EQ(25u, loaded.m_nConfigDescLength);
    loaded.ParseConfigurationDescriptor();
    EXPECT_EQ("a0 0:e1c0o0", Shape(loaded));
    EXPECT_EQ(stored, apptest::Store(loaded));
}

TEST(UsbConfigurationSerialize, MalformedRecordsThrowAnArchiveException) {
    const struct {
        const char* name;
        Bytes record;
    } cases[] = {
        {"offset not 8", Record(17, 9, Bytes(17, 0))},
        {"offset 0", Record(17, 0, Bytes(17, 0))},
        {"length below the head", Record(7, 8, Bytes(7, 0))},
        {"length beyond a 16-bit set", Record(8 + 0x10000, 8, Bytes(16, 0))},
        {"length beyond the input", Record(40, 8, Bytes(20, 0))},
        {"no length at all", Bytes{1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CUsbConfiguration loaded;
        bool thrown = false;
        try {
            devtest::LoadImage(loaded, c.record, nullptr);
        } catch (CArchiveException* e) {
            thrown = true;
            e->Delete();
        }
        EXPECT_TRUE(thrown);
        EXPECT_EQ(nullptr, loaded.m_pBuffer);
    }
}

} // namespace
