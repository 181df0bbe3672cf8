// PortDeviceReporter: the block of a device (not a hub) on a hub port in the device reports: its registry
// record, its stack, its USB device interface, the port's fields, its device descriptor and configuration.
#pragma once

#include "app/devices/reports/DeviceReporter.h"

class CHubPort;

class PortDeviceReporter : public DeviceReporter {
public:
    PortDeviceReporter(OutputerImp* pImp, CUSBLog* pContext, CHubPort* pPort);

    void Report(int mode);
    // At most one entry: the first symbolic link, whatever interface class it was registered under.
    void OutputDeviceInterfaces(int mode);
    void OutputPortProperties(int mode);
    void OutputDeviceDescriptor(int mode);
    void OutputConfigurationDescriptor(int mode);

private:
    CHubPort* const m_pPort;
};
