#include "app/decoders/ioctl/HubifOutputer.h"

#include "common/RecordFrame.h"

HubifOutputer::HubifOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : FunctionOutputer(pImp, pDocument, pRecord), m_BusContext(LogHdr::DeviceObject(RecordBytes())),
      m_Argument2(LogHdr::Irp(RecordBytes())) {}

HubifOutputer::~HubifOutputer() = default;
