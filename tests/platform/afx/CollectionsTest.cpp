#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveFixture.h"
#include "afx.h"
#include "afxtempl.h"

using afx_test::ArchiveCause;
using afx_test::Bytes;
using afx_test::Load;
using afx_test::Store;
using afx_test::Throws;

class CTestItem : public CObject {
    DECLARE_SERIAL(CTestItem)
public:
    DWORD m_value = 0;
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring())
            ar << m_value;
        else
            ar >> m_value;
    }
};
IMPLEMENT_SERIAL(CTestItem, CObject, 1)

namespace {

template <class Map, class Key, class Value> std::vector<Key> KeysInOrder(const Map& map) {
    std::vector<Key> keys;
    for (POSITION pos = map.GetStartPosition(); pos != nullptr;) {
        Key key{};
        Value value{};
        map.GetNextAssoc(pos, key, value);
        keys.push_back(key);
    }
    return keys;
}

TEST(CArray, OutOfRangeAccessThrowsInvalidArgument) {
    CByteArray bytes;
    bytes.SetSize(3);
    CArray<int, int> ints;
    ints.Add(1);
    const std::function<void()> bad[] = {
        [&] { bytes.GetAt(3); },
        [&] { bytes.GetAt(-1); },
        [&] { bytes.SetAt(3, 1); },
        [&] { bytes.ElementAt(-1); },
        [&] { ints[-1]; },
        [&] { ints.GetAt(1); },
        [&] { ints.SetAtGrow(-1, 5); },
        [&] { ints.SetSize(-1); },
        [&] { ints.InsertAt(-1, 5); },
        [&] { ints.InsertAt(0, 5, 0); },
        [&] { ints.RemoveAt(0, 2); },
        [&] { ints.RemoveAt(-1); },
    };
    for (size_t i = 0; i < std::size(bad); ++i)
        EXPECT_TRUE(Throws<CInvalidArgException>(bad[i])) << i;
    EXPECT_EQ(0, bytes.GetAt(2)); // new elements start zeroed
}

TEST(CArray, EditingKeepsOrderAndValues) {
    CArray<int, int> a;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(i, a.Add(i * 10));
    a.InsertAt(1, 7, 2); // 0 7 7 10 20 30 40
    a.RemoveAt(4, 2);    // 0 7 7 10 40
    a.SetAtGrow(7, 99);  // 0 7 7 10 40 0 0 99
    a.InsertAt(9, 5);    // ... 99 0 5
    const std::vector<int> expected = {0, 7, 7, 10, 40, 0, 0, 99, 0, 5};
    ASSERT_EQ(static_cast<INT_PTR>(expected.size()), a.GetSize());
    EXPECT_EQ(9, a.GetUpperBound());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], a[static_cast<INT_PTR>(i)]);

    CArray<int, int> b;
    b.Copy(a);
    EXPECT_EQ(10, b.Append(a));
    EXPECT_EQ(20, b.GetCount());
    b.InsertAt(0, &b); // inserting itself
    EXPECT_EQ(40, b.GetCount());
    EXPECT_EQ(5, b[39]);
    b.RemoveAll();
    EXPECT_TRUE(b.IsEmpty());
}

TEST(CArray, ElementsWithConstructorsSurviveGrowthAndShifts) {
    CStringArray a;
    a.SetSize(0, 2); // small steps: many reallocations
    for (int i = 0; i < 50; ++i) {
        CString s;
        s.Format("item %d", i);
        a.Add(s);
    }
    a.Add(a[0]); // an element of the array itself, while the array grows
    a.InsertAt(1, a[49]);
    a.RemoveAt(2, 10);
    EXPECT_EQ(42, a.GetSize());
    EXPECT_STREQ("item 0", a[0]);
    EXPECT_STREQ("item 49", a[1]);
    EXPECT_STREQ("item 11", a[2]);
    EXPECT_STREQ("item 0", a[41]);
    a.SetSize(45);
    EXPECT_TRUE(a[44].IsEmpty());
    a.FreeExtra();
    EXPECT_STREQ("item 49", a[40]);
}

TEST(CList, OrderInsertionAndSearch) {
    CStringList list;
    list.AddTail("b");
    list.AddHead("a");
    POSITION posC = list.AddTail("c");
    list.InsertBefore(posC, "b2");
    list.InsertAfter(posC, "d");
    list.InsertAfter(nullptr, "e");
    std::string walked;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        walked += std::string(list.GetNext(pos)) + " ";
    EXPECT_EQ("a b b2 c d e ", walked);
    walked.clear();
    for (POSITION pos = list.GetTailPosition(); pos != nullptr;)
        walked += std::string(list.GetPrev(pos)) + " ";
    EXPECT_EQ("e d c b2 b a ", walked);

    EXPECT_EQ(posC, list.Find("c"));
    EXPECT_EQ(nullptr, list.Find("a", list.GetHeadPosition())); // the search starts after the position
    EXPECT_EQ(posC, list.FindIndex(3));
    EXPECT_EQ(nullptr, list.FindIndex(6));
    EXPECT_EQ(nullptr, list.FindIndex(-1));

    // Removing the element just returned while walking.
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        POSITION current = pos;
        if (list.GetNext(pos).Left(1) == "b")
            list.RemoveAt(current);
    }
    EXPECT_EQ(4, list.GetCount());
    EXPECT_STREQ("a", list.RemoveHead());
    EXPECT_STREQ("e", list.RemoveTail());
    EXPECT_STREQ("c", list.GetHead());
    EXPECT_STREQ("d", list.GetTail());
    CStringList copy;
    copy.AddTail(&list);
    copy.AddTail(&copy);
    EXPECT_EQ(4, copy.GetCount());
    list.RemoveAll();
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.GetHead(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.RemoveTail(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.GetAt(nullptr); }));
}

TEST(CMap, LookupSetAndRemove) {
    CMap<DWORD, DWORD, CString, LPCTSTR> map;
    map.SetAt(1, "one");
    map[2] = "two";
    map.SetAt(1, "uno");
    CString value;
    EXPECT_TRUE(map.Lookup(1, value));
    EXPECT_STREQ("uno", value);
    EXPECT_FALSE(map.Lookup(3, value));
    EXPECT_EQ(2, map.GetCount());
    ASSERT_NE(nullptr, map.PLookup(2));
    EXPECT_STREQ("two", map.PLookup(2)->value);
    EXPECT_TRUE(map.RemoveKey(1));
    EXPECT_FALSE(map.RemoveKey(1));
    EXPECT_TRUE(map.RemoveKey(2));
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_EQ(nullptr, map.GetStartPosition());
    map[5] = "five"; // usable again after it emptied
    EXPECT_EQ(1, map.GetCount());

    CMapStringToPtr names;
    int x = 0;
    names["key"] = &x;
    void* found = nullptr;
    EXPECT_TRUE(names.Lookup("key", found));
    EXPECT_EQ(&x, found);
    EXPECT_FALSE(names.Lookup("KEY", found)); // exact comparison
}

TEST(CMap, IterationFollowsTheFrameworkHashes) {
    // Template maps: the Lehmer step, bucket = 16807 * key % 17 for small keys (key 1 → 11, 2 → 5, 3 → 16,
    // 4 → 10).
    CMap<WORD, WORD, void*, void*> templ;
    for (WORD k : {1, 2, 3, 4})
        templ[k] = nullptr;
    EXPECT_EQ((std::vector<WORD>{2, 4, 1, 3}), (KeysInOrder<decltype(templ), WORD, void*>(templ)));

    // The word map hashes key >> 4: keys below 16 share bucket 0, newest first.
    CMapWordToPtr words;
    for (WORD k : {1, 2, 3, 16, 17})
        words[k] = nullptr;
    EXPECT_EQ((std::vector<WORD>{3, 2, 1, 17, 16}), (KeysInOrder<CMapWordToPtr, WORD, void*>(words)));

    // String maps: hash * 33 + character ("ab" → 3299 % 17 = 1, "a" → 12, "b" → 13).
    CMapStringToOb strings;
    for (const char* k : {"a", "b", "ab"})
        strings[k] = nullptr;
    std::vector<CString> keys = KeysInOrder<CMapStringToOb, CString, CObject*>(strings);
    ASSERT_EQ(3u, keys.size());
    EXPECT_STREQ("ab", keys[0]);
    EXPECT_STREQ("a", keys[1]);
    EXPECT_STREQ("b", keys[2]);

    // Another table size gives another order; entries already present move with it.
    templ.InitHashTable(7);
    EXPECT_EQ(7u, templ.GetHashTableSize());
    // 16807 % 7 == 0: every key lands in bucket 0.
    EXPECT_EQ(4u, (KeysInOrder<decltype(templ), WORD, void*>(templ)).size());

    // Removing the entry just returned while walking.
    for (POSITION pos = words.GetStartPosition(); pos != nullptr;) {
        WORD key;
        void* value;
        words.GetNextAssoc(pos, key, value);
        if (key < 16)
            words.RemoveKey(key);
    }
    EXPECT_EQ((std::vector<WORD>{17, 16}), (KeysInOrder<CMapWordToPtr, WORD, void*>(words)));
}

TEST(TypedPointerCollections, HandBackTheirOwnType) {
    CTestItem a, b;
    a.m_value = 1;
    b.m_value = 2;
    CTypedPtrArray<CPtrArray, CTestItem*> array;
    array.Add(&a);
    array.Add(&b);
    EXPECT_EQ(2u, array[1]->m_value);
    array[0] = &b;
    EXPECT_EQ(&b, array.GetAt(0));

    CTypedPtrArray<CObArray, CTestItem*> obArray;
    obArray.Add(&a);
    EXPECT_EQ(1u, obArray.GetAt(0)->m_value);

    CTypedPtrList<CPtrList, CTestItem*> list;
    list.AddTail(&a);
    list.AddHead(&b);
    POSITION pos = list.GetHeadPosition();
    EXPECT_EQ(&b, list.GetNext(pos));
    EXPECT_EQ(&a, list.GetNext(pos));
    EXPECT_EQ(&b, list.RemoveHead());

    CTypedPtrMap<CMapWordToPtr, WORD, CTestItem*> map;
    map.SetAt(7, &a);
    map[8] = &b;
    CTestItem* found = nullptr;
    EXPECT_TRUE(map.Lookup(7, found));
    EXPECT_EQ(&a, found);
    POSITION mpos = map.GetStartPosition();
    WORD key;
    CTestItem* value;
    map.GetNextAssoc(mpos, key, value);
    EXPECT_EQ(8, key); // 8 was entered last into bucket 0
    EXPECT_EQ(&b, value);
}

TEST(CollectionSerialization, GoldenBytesAndRoundTrip) {
    auto* pItem = new CTestItem;
    pItem->m_value = 0x11223344;
    Bytes image = Store([&](CArchive& ar) {
        CByteArray bytes;
        bytes.Add(0xAA);
        bytes.Add(0xBB);
        bytes.Serialize(ar);
        CDWordArray dwords;
        dwords.Add(0x01020304);
        dwords.Serialize(ar);
        CStringArray strings;
        strings.Add("x");
        strings.Add("");
        strings.Serialize(ar);
        CObArray objects;
        objects.Add(pItem);
        objects.Add(pItem);
        objects.Add(nullptr);
        objects.Serialize(ar);
        CStringList list;
        list.AddTail("L");
        list.Serialize(ar);
        CMapStringToOb map;
        map["k"] = pItem;
        map.Serialize(ar);
    });
    delete pItem;
    Bytes expected = {0x02, 0x00, 0xAA, 0xBB,             // CByteArray
                      0x01, 0x00, 0x04, 0x03, 0x02, 0x01, // CDWordArray
                      0x02, 0x00, 0x01, 'x', 0x00,        // CStringArray
                      0x03, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00, 'C', 'T', 'e', 's', 't', 'I', 't', 'e', 'm', 0x44,
                      0x33, 0x22, 0x11, 0x02, 0x00, 0x00, 0x00, // CObArray: new object,
                                                                // back reference, null
                      0x01, 0x00, 0x01, 'L',                    // CStringList
                      0x01, 0x00, 0x01, 'k', 0x02, 0x00};       // CMapStringToOb: the object again
    EXPECT_EQ(expected, image);

    Load(image, [](CArchive& ar) {
        CByteArray bytes;
        bytes.Serialize(ar);
        ASSERT_EQ(2, bytes.GetSize());
        EXPECT_EQ(0xBB, bytes[1]);
        CDWordArray dwords;
        dwords.Serialize(ar);
        EXPECT_EQ(0x01020304u, dwords[0]);
        CStringArray strings;
        strings.Serialize(ar);
        EXPECT_STREQ("x", strings[0]);
        CObArray objects;
        objects.Serialize(ar);
        ASSERT_EQ(3, objects.GetSize());
        EXPECT_EQ(objects[0], objects[1]);
        EXPECT_EQ(nullptr, objects[2]);
        EXPECT_EQ(0x11223344u, static_cast<CTestItem*>(objects[0])->m_value);
        CStringList list;
        list.Serialize(ar);
        EXPECT_STREQ("L", list.GetHead());
        CMapStringToOb map;
        map.Serialize(ar);
        CObject* pFound = nullptr;
        EXPECT_TRUE(map.Lookup("k", pFound));
        EXPECT_EQ(objects[0], pFound);
        delete objects[0];
    });
}

TEST(CollectionSerialization, ElementsWithoutAByteFormAreRefused) {
    struct Named {
        CString name;
        int value = 0;
    };
    CArray<Named> array; // usable as a container all the same
    array.SetSize(2);
    array[1].name = "b";
    EXPECT_STREQ("b", array[1].name);
    EXPECT_TRUE(Throws<CNotSupportedException>([&] { Store([&](CArchive& ar) { array.Serialize(ar); }); }));
}

TEST(CollectionSerialization, ALargeCountMeetsTheEndOfTheInputFirst) {
    // A byte array claiming 4 G elements, followed by 3 bytes.
    Bytes image = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 1, 2, 3};
    int cause = -1;
    size_t largest = afx_test::AllocationWatch::LargestDuring([&] {
        cause = ArchiveCause([&] {
            Load(image, [](CArchive& ar) {
                CDWordArray array;
                array.Serialize(ar);
            });
        });
    });
    EXPECT_EQ(CArchiveException::endOfFile, cause);
    EXPECT_LT(largest, 64u * 1024u);
}

} // namespace
