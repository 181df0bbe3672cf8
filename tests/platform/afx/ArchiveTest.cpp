// The archive's bytes are those of the framework's capture files and registry values, so most cases
// here compare exact images.
#include <cstring>

#include <gtest/gtest.h>

#include "ArchiveFixture.h"
#include "afx.h"

using afx_test::ArchiveCause;
using afx_test::Bytes;
using afx_test::Load;
using afx_test::Store;

// Serializable classes of the tests. Class names are what the archive stores, so they are global.
class CTestNode : public CObject {
    DECLARE_SERIAL(CTestNode)
public:
    CString m_name;
    CObject* m_pNext = nullptr;
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring())
            ar << m_name << m_pNext;
        else
            ar >> m_name >> m_pNext;
    }
};
IMPLEMENT_SERIAL(CTestNode, CObject, 1)

class CTestVersioned : public CObject {
    DECLARE_SERIAL(CTestVersioned)
public:
    UINT m_schemaSeen = 0;
    UINT m_secondCall = 0;
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) {
            m_schemaSeen = ar.GetObjectSchema();
            m_secondCall = ar.GetObjectSchema();
        }
    }
};
IMPLEMENT_SERIAL(CTestVersioned, CObject, VERSIONABLE_SCHEMA | 3)

class CTestDerived : public CTestVersioned {
    DECLARE_SERIAL(CTestDerived)
};
IMPLEMENT_SERIAL(CTestDerived, CTestVersioned, VERSIONABLE_SCHEMA | 3)

// The capture document's name and schema, as its file header carries them.
class CUSBLog : public CObject {
    DECLARE_SERIAL(CUSBLog)
};
IMPLEMENT_SERIAL(CUSBLog, CObject, VERSIONABLE_SCHEMA | 12)

class CTestDynamicOnly : public CObject {
    DECLARE_DYNAMIC(CTestDynamicOnly)
};
IMPLEMENT_DYNAMIC(CTestDynamicOnly, CObject)

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Text(const char* s) {
    return Bytes(s, s + std::strlen(s));
}

TEST(CArchiveScalars, GoldenBytesAndRoundTrip) {
    Bytes image = Store([](CArchive& ar) {
        ar << static_cast<BYTE>(0xAB) << 'z' << static_cast<WORD>(0x1234) << static_cast<short>(-2)
           << static_cast<DWORD>(0x12345678) << static_cast<LONG>(-2) << static_cast<int>(7) << 9u
           << static_cast<LONGLONG>(-2) << static_cast<ULONGLONG>(0x0102030405060708ULL) << true << false << 1.0f
           << 1.0;
    });
    const Bytes expected = {
        0xAB, 'z',  0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0x07, 0x00, 0x00, 0x00,
        0x09, 0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03,
        0x02, 0x01, 0x01, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,
    };
    EXPECT_EQ(expected, image);

    Load(image, [](CArchive& ar) {
        BYTE by;
        char ch;
        WORD w;
        short sh;
        DWORD dw;
        LONG l;
        int i;
        unsigned u;
        LONGLONG ll;
        ULONGLONG ull;
        bool t, f;
        float fl;
        double d;
        ar >> by >> ch >> w >> sh >> dw >> l >> i >> u >> ll >> ull >> t >> f >> fl >> d;
        EXPECT_EQ(0xAB, by);
        EXPECT_EQ('z', ch);
        EXPECT_EQ(0x1234, w);
        EXPECT_EQ(-2, sh);
        EXPECT_EQ(0x12345678u, dw);
        EXPECT_EQ(-2, l);
        EXPECT_EQ(7, i);
        EXPECT_EQ(9u, u);
        EXPECT_EQ(-2, ll);
        EXPECT_EQ(0x0102030405060708ULL, ull);
        EXPECT_TRUE(t);
        EXPECT_FALSE(f);
        EXPECT_EQ(1.0f, fl);
        EXPECT_EQ(1.0, d);
    });
    // Any non-zero byte reads as true.
    Load({0x02}, [](CArchive& ar) {
        bool b = false;
        ar >> b;
        EXPECT_TRUE(b);
    });
}

TEST(CArchiveStrings, EachLengthClassHasTheFrameworkPrefix) {
    struct Case {
        int length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        CString s('q', c.length);
        if (c.length > 0)
            s.SetAt(c.length - 1, 'E');
        Bytes image = Store([&](CArchive& ar) { ar << s; });
        Bytes expected = c.prefix;
        expected.insert(expected.end(), s.GetString(), s.GetString() + c.length); // no terminator
        EXPECT_EQ(expected, image) << c.length;
        Load(image, [&](CArchive& ar) {
            CString loaded("previous");
            ar >> loaded;
            EXPECT_TRUE(loaded == s) << c.length;
        });
    }
}

TEST(CArchiveStrings, UnicodeFormIsReadAsEightBitText) {
    // 0xFF, u16 0xFFFE marks UTF-16 text; then the ordinary length prefix counts characters.
    Bytes image = {0xFF, 0xFE, 0xFF, 0x03, 'a', 0x00, 'b', 0x00, 0x3A, 0x26};
    Load(image, [](CArchive& ar) {
        CString s;
        ar >> s;
        EXPECT_STREQ("ab?", s);
    });
}

TEST(CArchiveStrings, LengthBeyondTheInputThrowsBeforeAllocating) {
    const Bytes images[] = {
        {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x7F, 'x'},                          // 2 GB claimed
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, // 64-bit length
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40},             // UTF-16, 1 G characters
        {0xC8, 'a', 'b'},                                                         // 200 claimed, 2 present
    };
    for (const Bytes& image : images) {
        int cause = -1;
        size_t largest = afx_test::AllocationWatch::LargestDuring([&] {
            cause = ArchiveCause([&] {
                Load(image, [](CArchive& ar) {
                    CString s;
                    ar >> s;
                });
            });
        });
        EXPECT_EQ(CArchiveException::endOfFile, cause);
        EXPECT_LT(largest, 64u * 1024u);
    }
}

TEST(CArchiveClasses, ClassReferencesUseTheFrameworkTags) {
    Bytes image = Store([](CArchive& ar) { ar.WriteClass(RUNTIME_CLASS(CUSBLog)); });
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0x0C, 0x00, 0x07, 0x00, 0x43, 0x55, 0x53, 0x42, 0x4C, 0x6F, 0x67}), image);

    // A class written twice: the new-class tag, then its map index 1 with the class bit.
    image = Store([](CArchive& ar) {
        ar.WriteClass(RUNTIME_CLASS(CTestNode));
        ar.WriteClass(RUNTIME_CLASS(CTestNode));
        ar.WriteClass(RUNTIME_CLASS(CUSBLog));
        ar.WriteClass(RUNTIME_CLASS(CUSBLog));
    });
    EXPECT_EQ(Concat({{0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00},
                      Text("CTestNode"),
                      {0x01, 0x80},
                      {0xFF, 0xFF, 0x0C, 0x00, 0x07, 0x00},
                      Text("CUSBLog"),
                      {0x02, 0x80}}),
              image);

    Load(image, [](CArchive& ar) {
        UINT schema = 0;
        EXPECT_EQ(RUNTIME_CLASS(CTestNode), ar.ReadClass(RUNTIME_CLASS(CTestNode), &schema));
        EXPECT_EQ(1u, schema);
        EXPECT_EQ(RUNTIME_CLASS(CTestNode), ar.ReadClass());
        EXPECT_EQ(1u, ar.GetObjectSchema()); // without pSchema the schema goes to the archive
        EXPECT_EQ(RUNTIME_CLASS(CUSBLog), ar.ReadClass(RUNTIME_CLASS(CUSBLog), &schema));
        EXPECT_EQ(12u, schema);
        EXPECT_EQ(RUNTIME_CLASS(CUSBLog), ar.ReadClass(nullptr, &schema));
        EXPECT_EQ(12u, schema);
    });
}

TEST(CArchiveClasses, VersionableClassesReportTheStoredSchema) {
    // CTestVersioned is version 3 and versionable; the file holds version 2.
    Bytes image = Concat({{0xFF, 0xFF, 0x02, 0x00, 0x0E, 0x00}, Text("CTestVersioned"), {0x01, 0x80}});
    Load(image, [](CArchive& ar) {
        UINT schema = 0;
        EXPECT_EQ(RUNTIME_CLASS(CTestVersioned), ar.ReadClass(nullptr, &schema));
        EXPECT_EQ(2u, schema);
        EXPECT_EQ(RUNTIME_CLASS(CTestVersioned), ar.ReadClass(nullptr, &schema));
        EXPECT_EQ(2u, schema); // a later reference keeps the stored schema
    });
    // An object sees the stored schema once through GetObjectSchema.
    image = Concat({{0xFF, 0xFF, 0x02, 0x00, 0x0E, 0x00}, Text("CTestVersioned")});
    Load(image, [](CArchive& ar) {
        CObject* pOb = ar.ReadObject(RUNTIME_CLASS(CTestVersioned));
        auto* pVersioned = static_cast<CTestVersioned*>(pOb);
        EXPECT_EQ(2u, pVersioned->m_schemaSeen);
        EXPECT_EQ(static_cast<UINT>(-1), pVersioned->m_secondCall);
        delete pOb;
    });
}

TEST(CArchiveClasses, BadReferencesThrowTheirCause) {
    struct Case {
        const char* what;
        Bytes image;
        const CRuntimeClass* requested;
        int cause;
    };
    const Case cases[] = {
        {"unknown name", Concat({{0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00}, Text("CZZZ")}), nullptr,
         CArchiveException::badClass},
        {"name too long for a class", Concat({{0xFF, 0xFF, 0x01, 0x00, 0x40, 0x00}, Bytes(64, 'A')}), nullptr,
         CArchiveException::badClass},
        {"non-versionable class, other schema", Concat({{0xFF, 0xFF, 0x02, 0x00, 0x09, 0x00}, Text("CTestNode")}),
         nullptr, CArchiveException::badSchema},
        {"class of another kind", Concat({{0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00}, Text("CTestNode")}),
         RUNTIME_CLASS(CTestVersioned), CArchiveException::badClass},
        {"reference to no class", {0x05, 0x80}, nullptr, CArchiveException::badIndex},
        {"reference to the null entry", {0x00, 0x80}, nullptr, CArchiveException::badIndex},
        {"object tag where a class belongs", {0x01, 0x00}, nullptr, CArchiveException::badIndex},
        {"big reference to no class", {0xFF, 0x7F, 0x00, 0x90, 0x00, 0x80}, nullptr, CArchiveException::badIndex},
    };
    for (const Case& c : cases) {
        int cause = ArchiveCause([&] { Load(c.image, [&](CArchive& ar) { ar.ReadClass(c.requested); }); });
        EXPECT_EQ(c.cause, cause) << c.what;
    }
    // A base class may be requested for a derived one; a class without an archive form may not.
    Bytes derived = Concat({{0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00}, Text("CTestDerived")});
    Load(derived,
         [](CArchive& ar) { EXPECT_EQ(RUNTIME_CLASS(CTestDerived), ar.ReadClass(RUNTIME_CLASS(CTestVersioned))); });
    EXPECT_TRUE(afx_test::Throws<CNotSupportedException>(
        [&] { Load(derived, [](CArchive& ar) { ar.ReadClass(RUNTIME_CLASS(CObject)); }); }));
    // A class without an archive form cannot be written.
    EXPECT_TRUE(afx_test::Throws<CNotSupportedException>(
        [] { Store([](CArchive& ar) { ar.WriteClass(RUNTIME_CLASS(CTestDynamicOnly)); }); }));
}

TEST(CArchiveObjects, GraphWithBackReferences) {
    auto* pA = new CTestNode;
    auto* pB = new CTestNode;
    pA->m_name = "a";
    pB->m_name = "b";
    pA->m_pNext = pB;
    pB->m_pNext = pA;
    Bytes image = Store([&](CArchive& ar) { ar << static_cast<CObject*>(nullptr) << pA << pB; });
    delete pA;
    delete pB;
    // null; new class (index 1) and object a (2); class reference for b (3); a's index; b's index.
    EXPECT_EQ(Concat({{0x00, 0x00},
                      {0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00},
                      Text("CTestNode"),
                      {0x01, 'a'},
                      {0x01, 0x80},
                      {0x01, 'b'},
                      {0x02, 0x00},
                      {0x03, 0x00}}),
              image);

    Load(image, [](CArchive& ar) {
        CObject* pNull = reinterpret_cast<CObject*>(1);
        CTestNode* pLoadedA = nullptr;
        CTestNode* pLoadedB = nullptr;
        ar >> pNull >> pLoadedA >> pLoadedB;
        EXPECT_EQ(nullptr, pNull);
        ASSERT_NE(nullptr, pLoadedA);
        EXPECT_STREQ("a", pLoadedA->m_name);
        EXPECT_EQ(pLoadedB, pLoadedA->m_pNext);
        EXPECT_EQ(pLoadedA, static_cast<CTestNode*>(pLoadedA->m_pNext)->m_pNext);
        EXPECT_STREQ("b", pLoadedB->m_name);
        delete pLoadedA;
        delete pLoadedB;
    });
}

TEST(CArchiveObjects, BadObjectReferences) {
    Bytes nodeThenClassAsObject =
        Concat({{0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00}, Text("CTestNode"), {0x00, 0x00, 0x00}, {0x01, 0x00}});
    struct Case {
        const char* what;
        Bytes image;
        int cause;
    };
    const Case cases[] = {
        {"reference past the objects loaded", {0x07, 0x00}, CArchiveException::badIndex},
        // Index 1 is the class: an object reference must not hand it out as an object.
        {"reference to a class as an object", Concat({nodeThenClassAsObject}), CArchiveException::badIndex},
        {"object of another class", Concat({{0xFF, 0xFF, 0x03, 0x00, 0x0E, 0x00}, Text("CTestVersioned")}),
         CArchiveException::badClass},
    };
    for (const Case& c : cases) {
        int cause = ArchiveCause([&] {
            Load(c.image, [](CArchive& ar) {
                CObject* pFirst = ar.ReadObject(RUNTIME_CLASS(CTestNode));
                CObject* pSecond = nullptr;
                try {
                    pSecond = ar.ReadObject(RUNTIME_CLASS(CTestNode));
                } catch (...) {
                    delete pFirst;
                    throw;
                }
                delete pFirst;
                delete pSecond;
            });
        });
        EXPECT_EQ(c.cause, cause) << c.what;
    }
}

TEST(CArchiveObjects, BigIndexesUseThe32BitForms) {
    // 0x7FFE mapped objects take indexes 1..0x7FFE; the class then gets 0x7FFF, which no longer fits the
    // 15-bit forms.
    constexpr DWORD kMapped = 0x7FFE;
    auto fake = [](DWORD i) { return reinterpret_cast<CObject*>(static_cast<ULONG_PTR>(0x10000 + 16 * i)); };
    CTestNode node;
    node.m_name = "n";
    Bytes image = Store([&](CArchive& ar) {
        for (DWORD i = 0; i < kMapped; ++i)
            ar.MapObject(fake(i));
        ar.WriteClass(RUNTIME_CLASS(CTestNode)); // 0x7FFF
        ar.WriteClass(RUNTIME_CLASS(CTestNode));
        ar << &node; // 0x8000, class by its big reference
        ar << &node;
        ar.WriteObject(fake(5)); // index 6: short form
    });
    Bytes expected = Concat({{0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00},
                             Text("CTestNode"),
                             {0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80},                        // class 0x7FFF again
                             {0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80, 0x01, 'n', 0x00, 0x00}, // node: class, data
                             {0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00},                        // node again: 0x8000
                             {0x06, 0x00}});
    EXPECT_EQ(expected, image);

    Load(image, [&](CArchive& ar) {
        for (DWORD i = 0; i < kMapped; ++i)
            ar.MapObject(fake(i));
        EXPECT_EQ(RUNTIME_CLASS(CTestNode), ar.ReadClass());
        EXPECT_EQ(RUNTIME_CLASS(CTestNode), ar.ReadClass());
        CObject* pFirst = ar.ReadObject(nullptr);
        CObject* pAgain = ar.ReadObject(nullptr);
        EXPECT_EQ(pFirst, pAgain);
        EXPECT_EQ(fake(5), ar.ReadObject(nullptr));
        delete pFirst;
    });
}

TEST(CArchive, WrongDirectionThrowsReadOnlyOrWriteOnly) {
    Bytes some = {1, 2, 3, 4, 5, 6, 7, 8};
    CTestNode node;
    const std::function<void(CArchive&)> writes[] = {
        [](CArchive& ar) { ar << static_cast<DWORD>(1); },
        [](CArchive& ar) { ar << CString("x"); },
        [](CArchive& ar) { ar.Write("x", 1); },
        [&](CArchive& ar) { ar << &node; },
        [](CArchive& ar) { ar.WriteClass(RUNTIME_CLASS(CTestNode)); },
    };
    for (const auto& write : writes)
        EXPECT_EQ(CArchiveException::readOnly, ArchiveCause([&] { Load(some, write); }));
    const std::function<void(CArchive&)> reads[] = {
        [](CArchive& ar) {
            DWORD dw;
            ar >> dw;
        },
        [](CArchive& ar) {
            CString s;
            ar >> s;
        },
        [](CArchive& ar) {
            char c;
            ar.Read(&c, 1);
        },
        [](CArchive& ar) { ar.ReadObject(nullptr); },
        [](CArchive& ar) { ar.ReadClass(); },
    };
    for (const auto& read : reads)
        EXPECT_EQ(CArchiveException::writeOnly, ArchiveCause([&] { Store(read); }));
}

TEST(CArchive, TruncatedInputThrowsEndOfFileAtEveryByte) {
    CTestNode node;
    node.m_name = CString('n', 300);
    Bytes image = Store([&](CArchive& ar) {
        ar << static_cast<WORD>(7) << CString("hello") << static_cast<ULONGLONG>(9);
        ar.WriteClass(RUNTIME_CLASS(CUSBLog));
        ar << &node;
        ar.WriteCount(0x12345);
    });
    auto readAll = [](CArchive& ar) {
        WORD w;
        CString s;
        ULONGLONG q;
        ar >> w >> s >> q;
        ar.ReadClass(RUNTIME_CLASS(CUSBLog));
        CObject* pOb = ar.ReadObject(RUNTIME_CLASS(CTestNode));
        delete pOb;
        EXPECT_EQ(0x12345u, ar.ReadCount());
    };
    Load(image, readAll); // the whole image reads back
    for (size_t cut = 0; cut < image.size(); ++cut) {
        Bytes truncated(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
        int cause = -1;
        size_t largest =
            afx_test::AllocationWatch::LargestDuring([&] { cause = ArchiveCause([&] { Load(truncated, readAll); }); });
        EXPECT_EQ(CArchiveException::endOfFile, cause) << "cut at " << cut;
        EXPECT_LT(largest, 64u * 1024u) << "cut at " << cut;
    }
}

TEST(CArchive, LoadPositionIsTheBytesConsumed) {
    // A file several buffers long, read with scalars, strings and raw blocks across buffer boundaries.
    Bytes image = Store([](CArchive& ar) {
        for (DWORD i = 0; i < 3000; ++i)
            ar << i;
        ar << CString('s', 5000);
        Bytes block(9000, 0x5A);
        ar.Write(block.data(), static_cast<UINT>(block.size()));
        ar << static_cast<WORD>(0xBEEF);
    });
    Bytes copy(image);
    CMemFile file(copy.data(), static_cast<UINT>(copy.size()));
    CArchive ar(&file, CArchive::load);
    ULONGLONG consumed = 0;
    auto checkPosition = [&] {
        ar.Flush();
        EXPECT_EQ(consumed, ar.GetFile()->GetPosition());
    };
    for (DWORD i = 0; i < 1500; ++i) {
        DWORD v;
        ar >> v;
        ASSERT_EQ(i, v);
    }
    consumed += 1500 * 4;
    checkPosition();
    for (DWORD i = 1500; i < 3000; ++i) {
        DWORD v;
        ar >> v;
        ASSERT_EQ(i, v);
    }
    consumed += 1500 * 4;
    checkPosition();
    CString s;
    ar >> s;
    consumed += 3 + 5000;
    checkPosition();
    Bytes block(9000);
    EXPECT_EQ(100u, ar.Read(block.data(), 100));
    consumed += 100;
    checkPosition();
    EXPECT_EQ(8900u, ar.Read(block.data() + 100, 8900));
    EXPECT_EQ(Bytes(9000, 0x5A), block);
    WORD w;
    ar >> w;
    EXPECT_EQ(0xBEEF, w);
    char extra;
    EXPECT_EQ(0u, ar.Read(&extra, 1));
    consumed = image.size();
    checkPosition();
}

TEST(CArchive, TextLines) {
    Bytes image = Store([](CArchive& ar) { ar.WriteString("one\r\ntwo\nlast"); });
    EXPECT_EQ(Text("one\r\ntwo\nlast"), image);
    Load(image, [](CArchive& ar) {
        CString line;
        EXPECT_TRUE(ar.ReadString(line));
        EXPECT_STREQ("one", line);
        EXPECT_TRUE(ar.ReadString(line));
        EXPECT_STREQ("two", line);
        EXPECT_TRUE(ar.ReadString(line));
        EXPECT_STREQ("last", line);
        EXPECT_FALSE(ar.ReadString(line));
    });
}

TEST(CArchive, CountsUseTheFrameworkForms) {
    Bytes image = Store([](CArchive& ar) {
        ar.WriteCount(0xFFFE);
        ar.WriteCount(0xFFFF);
        ar.WriteCount(0x100000000ULL);
    });
    EXPECT_EQ((Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
                     0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}),
              image);
    Load(image, [](CArchive& ar) {
        EXPECT_EQ(0xFFFEu, ar.ReadCount());
        EXPECT_EQ(0xFFFFu, ar.ReadCount());
        EXPECT_EQ(0x100000000ULL, ar.ReadCount());
    });
}

TEST(CRuntimeClass, NamesDerivationAndCreation) {
    EXPECT_EQ(RUNTIME_CLASS(CTestNode), CRuntimeClass::FromName("CTestNode"));
    EXPECT_EQ(nullptr, CRuntimeClass::FromName("CTestDynamicOnly")); // only serializable classes are listed
    EXPECT_EQ(nullptr, CRuntimeClass::FromName("ctestnode"));
    CObject* pOb = CRuntimeClass::CreateObject("CTestDerived");
    ASSERT_NE(nullptr, pOb);
    EXPECT_TRUE(pOb->IsKindOf(RUNTIME_CLASS(CTestVersioned)));
    EXPECT_TRUE(pOb->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(pOb->IsKindOf(RUNTIME_CLASS(CTestNode)));
    EXPECT_STREQ("CTestDerived", pOb->GetRuntimeClass()->m_lpszClassName);
    EXPECT_TRUE(pOb->IsSerializable());
    delete pOb;
    CTestDynamicOnly dynamicOnly;
    EXPECT_FALSE(dynamicOnly.IsSerializable());
    EXPECT_EQ(nullptr, RUNTIME_CLASS(CTestDynamicOnly)->CreateObject());
}

} // namespace
