#include "app/decoders/ioctl/HubifOutputer.h"

#include "common/RecordFrame.h"

HubifOutputer::HubifOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : FunctionOutputer(pImp, pDocument, pRecord), m_BusContext(pRecord ? LogHdr::DeviceObject(RecordBytes()) : 0),
      m_Argument2(pRecord ? LogHdr::Irp(RecordBytes()) : 0) {}

HubifOutputer::~HubifOutputer() = default;
