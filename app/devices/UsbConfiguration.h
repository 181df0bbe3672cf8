// CUsbConfiguration: one configuration descriptor set of a device, kept whole as the capture driver returned
// it (the 8-byte request head first), and split into its interfaces (with their endpoint, SuperSpeed
// companion and other descriptors) and interface associations. CUsbInterface and CUsbInterfaceAssocDesc
// point into the configuration's buffer and own nothing of it. The records come from AfxAllocateRaw, as the
// framework's objects do, and the buffer from AllocateBuffer.
#pragma once

#include "afx.h"
#include "afxtempl.h"
#include "app/devices/OwnedArray.h"
#include "usbspec.h"

// A record's memory: AfxAllocateRaw's, so that a memory failure is the framework's CMemoryException.
struct CUsbRecordMemory {
    static void* operator new(size_t nSize) { return AfxAllocateRaw(nSize); }
    static void operator delete(void* p) noexcept { AfxFreeRaw(p); }
};

class CUsbInterface : public CUsbRecordMemory {
public:
    explicit CUsbInterface(UCHAR* pInterfaceDesc) : m_pInterfaceDesc(pInterfaceDesc) {}
    virtual ~CUsbInterface() = default;

    UCHAR* m_pInterfaceDesc;
    CTypedPtrArray<CPtrArray, _USB_ENDPOINT_DESCRIPTOR*> m_Endpoints;
    CTypedPtrArray<CPtrArray, _USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR*> m_EndpointCompanions;
    CTypedPtrArray<CPtrArray, unsigned char*> m_OtherDescs;
};

class CUsbInterfaceAssocDesc : public CUsbRecordMemory {
public:
    explicit CUsbInterfaceAssocDesc(UCHAR* pDesc) : m_pDesc(pDesc) {}
    virtual ~CUsbInterfaceAssocDesc() = default;

    UCHAR* m_pDesc;
};

class CUsbConfiguration : public CObject {
    DECLARE_SERIAL(CUsbConfiguration)
public:
    // Where the descriptor set starts in the buffer: after the request head.
    static constexpr UINT HeaderSize = 8;
    // A loaded buffer holds the head and at most a 16-bit wTotalLength of descriptors.
    static constexpr DWORD MaxBufferLength = HeaderSize + 0xFFFF;

    CUsbConfiguration() = default;
    // Takes ownership of pBuffer (AllocateBuffer), nTotalLength bytes of which the descriptors start at nOffset.
    CUsbConfiguration(BYTE* pBuffer, UINT nOffset, UINT nTotalLength);
    ~CUsbConfiguration() override;
    CUsbConfiguration(const CUsbConfiguration&) = delete;
    CUsbConfiguration& operator=(const CUsbConfiguration&) = delete;

    // Splits the descriptor set into interface and association records (replacing any earlier split). The
    // walk ends at a descriptor shorter than its own header or one that runs past the buffer; an interface
    // descriptor too short to hold its fields is kept as no interface. FALSE, with no records, when memory
    // for them is short.
    BOOL ParseConfigurationDescriptor();
    // Deletes the interface and association records.
    void DeleteRecords();

    // Stores the buffer with its length and offset; loading checks them (offset 8, a length from 8 to
    // MaxBufferLength) and throws CArchiveException* otherwise. The owner parses a loaded configuration.
    void Serialize(CArchive& ar) override;

    BYTE* m_pBuffer = nullptr;
    BYTE* m_pLast = nullptr;
    BYTE* m_pConfigDesc = nullptr;
    UINT m_nConfigDescLength = 0;
    COwnedArray<CUsbInterfaceAssocDesc> m_AssocDescs;
    COwnedArray<CUsbInterface> m_Interfaces;

private:
    void SetBuffer(BYTE* pBuffer, UINT nOffset, UINT nTotalLength);
    // The walk of ParseConfigurationDescriptor; a memory failure throws CMemoryException* part way.
    void SplitRecords();
};
