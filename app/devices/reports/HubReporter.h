// HubReporter and its two kinds: a hub's block in the device reports. The root hub reports the hub alone;
// the external hub is reported from the port it hangs on, which adds the port's fields, the device
// descriptor and the configuration.
#pragma once

#include "app/devices/reports/DeviceReporter.h"

class CHubPort;
class CUsbHub;

class HubReporter : public DeviceReporter {
public:
    HubReporter(OutputerImp* pImp, CUSBLog* pContext, CUsbHub* pHub);

    virtual void Report(int mode);
    virtual void OutputDeviceInterfaces(int mode);
    virtual void OutputHubProperties(int mode) {}
    virtual void OutputDeviceDescriptor(int mode) {}
    // The hub class descriptor of the stored type: 0x29 (or 0, an old driver's) USB 2.0, 0x2A SuperSpeed;
    // any other type writes nothing.
    virtual void OutputHubDescriptor(int mode);
    virtual void OutputConfigurationDescriptor(int mode) {}

protected:
    CUsbHub* const m_pHub;
};

class RootHubReporter : public HubReporter {
public:
    RootHubReporter(OutputerImp* pImp, CUSBLog* pContext, CUsbHub* pHub);

    void OutputHubProperties(int mode) override;
};

class ExternalHubReporter : public HubReporter {
public:
    // The hub reported is the one the port carries.
    ExternalHubReporter(OutputerImp* pImp, CUSBLog* pContext, CHubPort* pPort);

    void OutputHubProperties(int mode) override;
    void OutputDeviceDescriptor(int mode) override;
    void OutputConfigurationDescriptor(int mode) override;

private:
    CHubPort* const m_pPort;
};
