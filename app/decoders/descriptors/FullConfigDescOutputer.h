// FullConfigDescOutputer: a whole configuration set (the configuration descriptor and every interface,
// endpoint, class-specific and vendor descriptor after it), each descriptor handed to the decoder of its
// kind. Class-specific descriptors are read in the light of the interface before them.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class FullConfigDescOutputer : public DescOutputer {
public:
    // configurationIndex: the number in the grouped layout's title (the properties pane's configuration).
    FullConfigDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count,
                           int configurationIndex = 1);

    // grouped: the properties pane's layout, the grid only: every descriptor a category, the descriptors
    // of an interface hung below a category of their own.
    void Output(int mode, const CString& title, const CString& value, bool nested, bool grouped);
    // The bytes end where the record that carries them was cut, which the record says: the walk does not
    // mark that end again.
    void EndsAtRecordCut() { m_CutBefore = true; }

private:
    // Decodes one descriptor of `size` bytes after the configuration descriptor.
    void OutputDescriptor(int mode, const BYTE* pBytes, ULONG size, bool grouped);
    void OpenInterfaceGroup(const BYTE* pBytes, ULONG size);
    void CloseInterfaceGroup();

    const int m_ConfigurationIndex;
    // The class of the most recent interface of the walk: class-specific descriptors depend on it.
    UCHAR m_InterfaceClass = 0;
    bool m_InterfaceGroupOpen = false;
    bool m_CutBefore = false;
};
