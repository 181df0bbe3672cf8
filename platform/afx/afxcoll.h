// The framework's collection classes of fixed element types: arrays, lists and maps of bytes, words,
// pointers, objects and strings. They behave as the CArray, CList and CMap templates do (AfxArray.h,
// AfxList.h, AfxMap.h): out-of-range indexes and null positions throw CInvalidArgException*.
//
// Arrays and lists of bytes, words, double words, objects and strings, and the string-to-object map, are
// serializable: a count (CArchive::WriteCount) and then the elements (objects through WriteObject, strings
// with their length prefix). The others (pointers, UINTs) are not stored; their Serialize does nothing.
//
// Map hashes of the non-template maps: CMapPtrToPtr and CMapWordToPtr hash a key as key >> 4; the string
// maps as hash = hash * 33 + character. The iteration order (and so the stored order) follows from it.
#pragma once

#include "AfxArray.h"
#include "AfxList.h"
#include "AfxMap.h"
#include "AfxObject.h"

#define AFX_NO_SERIALIZE                                                                                               \
    void Serialize(CArchive&) override {}

class CByteArray : public CArray<BYTE, BYTE> {
    DECLARE_SERIAL(CByteArray)
};

class CWordArray : public CArray<WORD, WORD> {
    DECLARE_SERIAL(CWordArray)
};

class CDWordArray : public CArray<DWORD, DWORD> {
    DECLARE_SERIAL(CDWordArray)
};

class CUIntArray : public CArray<UINT, UINT> {
    DECLARE_DYNAMIC(CUIntArray)
public:
    AFX_NO_SERIALIZE
};

class CPtrArray : public CArray<void*, void*> {
    DECLARE_DYNAMIC(CPtrArray)
public:
    typedef void* BASE_TYPE;
    typedef void* BASE_ARG_TYPE;
    AFX_NO_SERIALIZE
};

class CObArray : public CArray<CObject*, CObject*> {
    DECLARE_SERIAL(CObArray)
public:
    typedef CObject* BASE_TYPE;
    typedef CObject* BASE_ARG_TYPE;
};

class CStringArray : public CArray<CString, const CString&> {
    DECLARE_SERIAL(CStringArray)
};

class CPtrList : public CList<void*, void*> {
    DECLARE_DYNAMIC(CPtrList)
public:
    explicit CPtrList(INT_PTR nBlockSize = 10) : CList<void*, void*>(nBlockSize) {}
    typedef void* BASE_TYPE;
    typedef void* BASE_ARG_TYPE;
    AFX_NO_SERIALIZE
};

class CObList : public CList<CObject*, CObject*> {
    DECLARE_SERIAL(CObList)
public:
    explicit CObList(INT_PTR nBlockSize = 10) : CList<CObject*, CObject*>(nBlockSize) {}
    typedef CObject* BASE_TYPE;
    typedef CObject* BASE_ARG_TYPE;
};

class CStringList : public CList<CString, const CString&> {
    DECLARE_SERIAL(CStringList)
public:
    explicit CStringList(INT_PTR nBlockSize = 10) : CList<CString, const CString&>(nBlockSize) {}
};

class CMapPtrToPtr : public afx_detail::MapBase<void*, void*, void*, void*, afx_detail::ShiftKeyHash> {
    DECLARE_DYNAMIC(CMapPtrToPtr)
public:
    explicit CMapPtrToPtr(INT_PTR nBlockSize = 10) : MapBase(nBlockSize) {}
    typedef void* BASE_KEY;
    typedef void* BASE_ARG_KEY;
    typedef void* BASE_VALUE;
    typedef void* BASE_ARG_VALUE;
    AFX_NO_SERIALIZE
};

class CMapWordToPtr : public afx_detail::MapBase<WORD, WORD, void*, void*, afx_detail::ShiftKeyHash> {
    DECLARE_DYNAMIC(CMapWordToPtr)
public:
    explicit CMapWordToPtr(INT_PTR nBlockSize = 10) : MapBase(nBlockSize) {}
    typedef WORD BASE_KEY;
    typedef WORD BASE_ARG_KEY;
    typedef void* BASE_VALUE;
    typedef void* BASE_ARG_VALUE;
    AFX_NO_SERIALIZE
};

class CMapStringToPtr : public afx_detail::MapBase<CString, LPCTSTR, void*, void*, afx_detail::StringKeyHash> {
    DECLARE_DYNAMIC(CMapStringToPtr)
public:
    explicit CMapStringToPtr(INT_PTR nBlockSize = 10) : MapBase(nBlockSize) {}
    typedef CString BASE_KEY;
    typedef LPCTSTR BASE_ARG_KEY;
    typedef void* BASE_VALUE;
    typedef void* BASE_ARG_VALUE;
    AFX_NO_SERIALIZE
};

class CMapStringToOb : public afx_detail::MapBase<CString, LPCTSTR, CObject*, CObject*, afx_detail::StringKeyHash> {
    DECLARE_SERIAL(CMapStringToOb)
public:
    explicit CMapStringToOb(INT_PTR nBlockSize = 10) : MapBase(nBlockSize) {}
    typedef CString BASE_KEY;
    typedef LPCTSTR BASE_ARG_KEY;
    typedef CObject* BASE_VALUE;
    typedef CObject* BASE_ARG_VALUE;
};

#undef AFX_NO_SERIALIZE
