// HostControllerReporter: a host controller's block in the device reports: its registry record, its stack,
// its public HCD interface and registered interfaces, and its type.
#pragma once

#include "app/devices/reports/DeviceReporter.h"

class CHostController;

class HostControllerReporter : public DeviceReporter {
public:
    HostControllerReporter(OutputerImp* pImp, CUSBLog* pContext, CHostController* pController);

    void Report(int mode);
    virtual void OutputDeviceInterfaces(int mode);
    virtual void OutputHostController(int mode);

private:
    CHostController* const m_pController;
};
