#include "GkProfileValue.h"

CGkProfileWriter::CGkProfileWriter(uint32_t nTag, uint32_t nVersion) {
    WriteUInt(nTag);
    WriteUInt(nVersion);
}

void CGkProfileWriter::WriteUInt(uint32_t nValue) {
    for (int i = 0; i < 4; ++i)
        m_bytes.push_back(static_cast<BYTE>(nValue >> (8 * i)));
}

void CGkProfileWriter::WriteRect(const RECT& rc) {
    WriteInt(rc.left);
    WriteInt(rc.top);
    WriteInt(rc.right);
    WriteInt(rc.bottom);
}

BOOL CGkProfileWriter::Save(LPCTSTR lpszSection) const {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return FALSE;
    std::vector<BYTE> copy = m_bytes;
    return pApp->WriteProfileBinary(lpszSection, GK_PROFILE_ENTRY, copy.data(), static_cast<UINT>(copy.size()));
}

CGkProfileReader::CGkProfileReader(LPCTSTR lpszSection, uint32_t nTag, uint32_t nVersion) {
    CWinApp* pApp = AfxGetApp();
    LPBYTE pData = nullptr;
    UINT nBytes = 0;
    if (pApp == nullptr || !pApp->GetProfileBinary(lpszSection, GK_PROFILE_ENTRY, &pData, &nBytes))
        return;
    m_bytes.assign(pData, pData + nBytes);
    delete[] pData;
    CheckHeader(nTag, nVersion);
}

CGkProfileReader::CGkProfileReader(std::vector<BYTE> bytes, uint32_t nTag, uint32_t nVersion)
    : m_bytes(std::move(bytes)) {
    CheckHeader(nTag, nVersion);
}

void CGkProfileReader::CheckHeader(uint32_t nTag, uint32_t nVersion) {
    m_bValid = true;
    uint32_t tag = 0, version = 0;
    if (!ReadUInt(tag) || !ReadUInt(version) || tag != nTag || version != nVersion)
        m_bValid = false;
}

bool CGkProfileReader::ReadUInt(uint32_t& nValue) {
    if (!m_bValid || m_bytes.size() - m_nPos < 4) {
        m_bValid = false;
        return false;
    }
    nValue = 0;
    for (int i = 0; i < 4; ++i)
        nValue |= static_cast<uint32_t>(m_bytes[m_nPos + i]) << (8 * i);
    m_nPos += 4;
    return true;
}

bool CGkProfileReader::ReadInt(int32_t& nValue) {
    uint32_t n = 0;
    if (!ReadUInt(n))
        return false;
    nValue = static_cast<int32_t>(n);
    return true;
}

bool CGkProfileReader::ReadRect(RECT& rc) {
    int32_t l = 0, t = 0, r = 0, b = 0;
    if (!ReadInt(l) || !ReadInt(t) || !ReadInt(r) || !ReadInt(b))
        return false;
    rc = {l, t, r, b};
    return true;
}
