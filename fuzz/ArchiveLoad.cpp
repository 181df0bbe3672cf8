// Random bytes through a loading archive: the input is a stream of one-byte operations and their data,
// read through the archive itself (strings, scalars, counts, raw blocks and text lines, class references,
// object graphs of two small serializable classes, and the serializable collections). Every input must end
// in a clean return or a framework exception: no crash, no read past the input, no leak.
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "afx.h"
#include "afxcoll.h"

namespace {

// Every object the archive creates is tracked here and released after the input, whatever graph the input
// built (back references may make any object reachable from several places, or from itself).
std::unordered_set<CObject*>& LiveObjects() {
    static std::unordered_set<CObject*> live;
    return live;
}

} // namespace

class CFuzzLeaf : public CObject {
    DECLARE_SERIAL(CFuzzLeaf)
public:
    CFuzzLeaf() { LiveObjects().insert(this); }
    ~CFuzzLeaf() override { LiveObjects().erase(this); }
    void Serialize(CArchive& ar) override { ar >> m_value >> m_text; }

    DWORD m_value = 0;
    CString m_text;
};
IMPLEMENT_SERIAL(CFuzzLeaf, CObject, 1)

class CFuzzNode : public CObject {
    DECLARE_SERIAL(CFuzzNode)
public:
    CFuzzNode() { LiveObjects().insert(this); }
    ~CFuzzNode() override { LiveObjects().erase(this); }
    void Serialize(CArchive& ar) override {
        UINT schema = ar.GetObjectSchema();
        ar >> m_name >> m_pLeft;
        if (schema >= 2) {
            ar >> m_pRight;
            m_children.Serialize(ar);
        }
    }

    CString m_name;
    CObject* m_pLeft = nullptr; // not owned: the graph may share or repeat objects
    CObject* m_pRight = nullptr;
    CObArray m_children;
};
IMPLEMENT_SERIAL(CFuzzNode, CObject, VERSIONABLE_SCHEMA | 2)

namespace {

void RunOperation(CArchive& ar, BYTE op, ULONGLONG inputSize) {
    switch (op % 16) {
    case 0: {
        CString s;
        ar >> s;
        break;
    }
    case 1: ar.ReadObject(nullptr); break;
    case 2: ar.ReadObject(RUNTIME_CLASS(CFuzzNode)); break;
    case 3: {
        UINT schema = 0;
        ar.ReadClass(RUNTIME_CLASS(CFuzzLeaf), &schema);
        break;
    }
    case 4: {
        WORD w;
        LONGLONG ll;
        double d;
        bool b;
        ar >> w >> ll >> d >> b;
        break;
    }
    case 5: {
        CByteArray bytes;
        bytes.Serialize(ar);
        break;
    }
    case 6: {
        CObArray objects;
        objects.Serialize(ar);
        break;
    }
    case 7: {
        CStringList strings;
        strings.Serialize(ar);
        break;
    }
    case 8: {
        CMapStringToOb map;
        map.Serialize(ar);
        break;
    }
    case 9: ar.ReadCount(); break;
    case 10: {
        WORD n = 0;
        ar >> n;
        std::vector<BYTE> block(n);
        ar.Read(block.data(), n);
        break;
    }
    case 11: {
        CString line;
        ar.ReadString(line);
        break;
    }
    case 12: {
        ar.Flush();
        if (ar.GetFile()->GetPosition() > inputSize)
            __builtin_trap(); // the logical position can never pass the input
        break;
    }
    case 13: {
        CDWordArray dwords;
        dwords.Serialize(ar);
        break;
    }
    case 14: {
        CStringArray strings;
        strings.Serialize(ar);
        break;
    }
    default: {
        CObject* pOb = nullptr;
        ar >> pOb;
        if (pOb != nullptr && !pOb->IsKindOf(RUNTIME_CLASS(CObject)))
            __builtin_trap();
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that any read past the input is an error the sanitizer reports.
    std::vector<BYTE> input(data, data + size);
    try {
        CMemFile file(input.empty() ? nullptr : input.data(), static_cast<UINT>(input.size()));
        CArchive ar(&file, CArchive::load, 128 + (size % 3) * 2048); // several buffer sizes
        for (int i = 0; i < 256; ++i) {
            BYTE op = 0;
            ar >> op;
            RunOperation(ar, op, input.size());
        }
    } catch (CException* e) {
        e->Delete();
    }
    std::vector<CObject*> leftovers(LiveObjects().begin(), LiveObjects().end());
    for (CObject* pOb : leftovers)
        delete pOb;
    return 0;
}
