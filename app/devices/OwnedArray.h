// COwnedArray<T>: an array that owns its objects, read as the framework's typed pointer arrays are: a count, and
// the objects by index as plain pointers. An object comes in by std::unique_ptr and leaves deleted (RemoveAt,
// RemoveAll, the array's own end, first index first) or handed back (Detach). The array grows as CPtrArray
// does, so a growth that finds no memory throws CMemoryException* and the object offered stays the caller's.
//
// In capture files an owned array is a DWORD count, then each object's record (Store, Load).
#pragma once

#include <memory>
#include <utility>

#include "afx.h"
#include "afxtempl.h"

template <class T> class COwnedArray {
public:
    COwnedArray() = default;
    ~COwnedArray() { RemoveAll(); }
    COwnedArray(const COwnedArray&) = delete;
    COwnedArray& operator=(const COwnedArray&) = delete;

    INT_PTR GetSize() const { return m_Objects.GetSize(); }
    INT_PTR GetCount() const { return m_Objects.GetSize(); }
    BOOL IsEmpty() const { return m_Objects.GetSize() == 0; }
    T* GetAt(INT_PTR nIndex) const { return m_Objects.GetAt(nIndex); }
    T* operator[](INT_PTR nIndex) const { return m_Objects.GetAt(nIndex); }
    // The object's index; -1 when the array does not hold it.
    INT_PTR Find(const T* pObject) const {
        for (INT_PTR i = 0; i < m_Objects.GetSize(); ++i)
            if (m_Objects.GetAt(i) == pObject)
                return i;
        return -1;
    }

    // The array owns the object once this returns; its index.
    INT_PTR Add(std::unique_ptr<T>&& pObject) {
        const INT_PTR nIndex = m_Objects.Add(pObject.get());
        pObject.release();
        return nIndex;
    }
    // The object at nIndex, out of the array and the caller's.
    std::unique_ptr<T> Detach(INT_PTR nIndex) {
        std::unique_ptr<T> pObject(m_Objects.GetAt(nIndex));
        m_Objects.RemoveAt(nIndex);
        return pObject;
    }
    void RemoveAt(INT_PTR nIndex) { Detach(nIndex); }
    // Deleted in index order, each slot emptied first, so no destructor meets its object still listed.
    void RemoveAll() {
        for (INT_PTR i = 0; i < m_Objects.GetSize(); ++i) {
            std::unique_ptr<T> pObject(m_Objects.GetAt(i));
            m_Objects.SetAt(i, nullptr);
        }
        m_Objects.RemoveAll();
    }
    void Swap(INT_PTR nFirst, INT_PTR nSecond) {
        T* pFirst = m_Objects.GetAt(nFirst);
        m_Objects.SetAt(nFirst, m_Objects.GetAt(nSecond));
        m_Objects.SetAt(nSecond, pFirst);
    }

    // The count, then each object's record.
    void Store(CArchive& ar) const {
        ar << static_cast<DWORD>(m_Objects.GetSize());
        for (INT_PTR i = 0; i < m_Objects.GetSize(); ++i)
            m_Objects.GetAt(i)->Serialize(ar);
    }
    // A count, then that many records, each read into a new object from `make` (a std::unique_ptr<T>) and
    // handed to `loaded` before the array takes it; what they throw ends the load, and an object that did not
    // load whole is deleted. The array's earlier objects stay. LoadItems reads the records of a count already
    // read.
    template <class Make, class Loaded> void Load(CArchive& ar, Make make, Loaded loaded) {
        DWORD count = 0;
        ar >> count;
        LoadItems(ar, count, make, loaded);
    }
    template <class Make> void Load(CArchive& ar, Make make) {
        Load(ar, make, [](T&) {});
    }
    template <class Make, class Loaded> void LoadItems(CArchive& ar, DWORD count, Make make, Loaded loaded) {
        for (DWORD i = 0; i < count; ++i) {
            std::unique_ptr<T> pObject = make();
            pObject->Serialize(ar);
            loaded(*pObject);
            Add(std::move(pObject));
        }
    }
    template <class Make> void LoadItems(CArchive& ar, DWORD count, Make make) {
        LoadItems(ar, count, make, [](T&) {});
    }

private:
    CTypedPtrArray<CPtrArray, T*> m_Objects;
};
