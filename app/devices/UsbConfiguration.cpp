#include "app/devices/UsbConfiguration.h"

#include <cstring>
#include <memory>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/AllocateBuffer.h"

IMPLEMENT_SERIAL(CUsbConfiguration, CObject, VERSIONABLE_SCHEMA | 12)

namespace {

constexpr UCHAR kConfigurationType = 2;
constexpr UCHAR kInterfaceType = 4;
constexpr UCHAR kEndpointType = 5;
constexpr UCHAR kAssociationType = 11;
constexpr UCHAR kCompanionType = 48;

// The bytes a record type's readers take from its descriptor: shorter ones are kept as other descriptors, so
// no reader of a typed record reads past what the device sent.
size_t TypedSize(UCHAR type) {
    switch (type) {
    case kInterfaceType: return sizeof(USB_INTERFACE_DESCRIPTOR);
    case kEndpointType: return sizeof(USB_ENDPOINT_DESCRIPTOR);
    case kAssociationType: return sizeof(USB_INTERFACE_ASSOCIATION_DESCRIPTOR);
    case kCompanionType: return sizeof(USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR);
    default: return 0;
    }
}

} // namespace

CUsbConfiguration::CUsbConfiguration(BYTE* pBuffer, UINT nOffset, UINT nTotalLength) {
    SetBuffer(pBuffer, nOffset, nTotalLength);
}

CUsbConfiguration::~CUsbConfiguration() {
    DeleteRecords();
    FreeBuffer(m_pBuffer);
}

void CUsbConfiguration::SetBuffer(BYTE* pBuffer, UINT nOffset, UINT nTotalLength) {
    m_pBuffer = pBuffer;
    m_pLast = pBuffer + nTotalLength - 1;
    m_pConfigDesc = pBuffer + nOffset;
    m_nConfigDescLength = nTotalLength - nOffset;
}

void CUsbConfiguration::DeleteRecords() {
    m_Interfaces.RemoveAll();
    m_AssocDescs.RemoveAll();
}

BOOL CUsbConfiguration::ParseConfigurationDescriptor() {
    DeleteRecords();
    if (m_pBuffer == nullptr)
        return TRUE;
    try {
        SplitRecords();
    } catch (CMemoryException* e) {
        e->Delete();
        // Half a split would show interfaces the device does not have as missing: none at all instead.
        DeleteRecords();
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CUsbConfiguration::ParseConfigurationDescriptor - out of memory");
        return FALSE;
    }
    return TRUE;
}

void CUsbConfiguration::SplitRecords() {
    CUsbInterface* pCurrent = nullptr;
    size_t remaining = m_nConfigDescLength;
    for (BYTE* p = m_pConfigDesc; remaining >= 2;) {
        const UCHAR bLength = p[0];
        const UCHAR bType = p[1];
        if (bLength < 2 || bLength > remaining) {
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES, "descriptor of type %u with bLength %u ends the walk",
                      static_cast<UINT>(bType), static_cast<UINT>(bLength));
            break;
        }
        const bool typed = bLength >= TypedSize(bType);
        if (bType == kConfigurationType) {
            // the set's own header
        } else if (bType == kInterfaceType && typed) {
            auto pInterface = std::make_unique<CUsbInterface>(p);
            pCurrent = pInterface.get();
            m_Interfaces.Add(std::move(pInterface));
        } else if (bType == kAssociationType && typed) {
            m_AssocDescs.Add(std::make_unique<CUsbInterfaceAssocDesc>(p));
        } else if (pCurrent == nullptr) {
            // nothing before the first interface belongs to one
        } else if (bType == kEndpointType && typed) {
            pCurrent->m_Endpoints.Add(reinterpret_cast<_USB_ENDPOINT_DESCRIPTOR*>(p));
        } else if (bType == kCompanionType && typed) {
            pCurrent->m_EndpointCompanions.Add(reinterpret_cast<_USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR*>(p));
        } else {
            pCurrent->m_OtherDescs.Add(p);
        }
        p += bLength;
        remaining -= bLength;
    }
}

void CUsbConfiguration::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        if (m_pBuffer == nullptr) {
            // A configuration never fetched: an empty request head.
            const BYTE head[HeaderSize] = {};
            ar << static_cast<DWORD>(HeaderSize) << static_cast<DWORD>(HeaderSize);
            ar.Write(head, HeaderSize);
            return;
        }
        const auto offset = static_cast<DWORD>(m_pConfigDesc - m_pBuffer);
        const DWORD total = offset + m_nConfigDescLength;
        ar << total << offset;
        ar.Write(m_pBuffer, total);
        return;
    }
    DWORD total = 0;
    DWORD offset = 0;
    ar >> total >> offset;
    if (offset != HeaderSize || total < HeaderSize || total > MaxBufferLength) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_SERIALIZE, "CUsbConfiguration: length %u, offset %u", total, offset);
        AfxThrowArchiveException(CArchiveException::generic, ar.m_strFileName);
    }
    BYTE* pBuffer = AllocateBuffer(total);
    if (pBuffer == nullptr)
        AfxThrowMemoryException();
    if (ar.Read(pBuffer, total) != total) {
        FreeBuffer(pBuffer);
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
    }
    DeleteRecords();
    FreeBuffer(m_pBuffer);
    SetBuffer(pBuffer, offset, total);
}
