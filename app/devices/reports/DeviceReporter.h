// DeviceReporter: what the device reports say about one device checked in the device tree, section by
// section, through the report's emit back-end and a field writer of the report style: mode 2
// (OUTPUT_MODE_HTML) writes bordered tables whose labels hold "&nbsp;" and whose numbers carry "0x"; mode 0
// writes XML elements with bare numbers. The
// reporters own nothing: everything they read belongs to the capture document's device model.
#pragma once

#include <initializer_list>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/Outputer.h"

class CDeviceClass;
class CDeviceStack;
class CHubPort;
class CStringArray;

class DeviceReporter : public Outputer {
public:
    DeviceReporter(OutputerImp* pImp, CUSBLog* pContext, CObject* pDevice);
    ~DeviceReporter() override;

    virtual void GetDeviceTypeName(CString& name);
    virtual void BeginDevice(int mode, const CString& typeName);
    virtual void EndDevice(int mode);
    // A missing record writes the section's heading alone.
    virtual void OutputPnpRegistryProperties(int mode, const CDeviceClass* pClass, bool showCompatibleIds);
    virtual void OutputDeviceStackProperties(int mode, const CDeviceStack* pStack);

    // Writes the block of one checked object with the reporter its run-time class calls for; false, and
    // nothing written, for an object of any other kind.
    static bool ReportDevice(OutputerImp* pImp, CUSBLog* pContext, CObject* pDevice, int mode);
    // Every device checked in the device tree, in the tree's order.
    static void ReportCheckedDevices(OutputerImp* pImp, CUSBLog* pContext, int mode);

protected:
    // The device's block opened under its type name.
    void BeginReport(int mode);
    // A section: a bordered table headed by its title in HTML, an element in XML.
    void OpenSection(int mode, LPCSTR htmlTitle, LPCSTR xmlName);
    void CloseSection();
    // A field's labels: the XML element's name and the HTML row's label.
    static FieldLabels Labels(LPCSTR htmlLabel, LPCSTR xmlName) { return FieldLabels(xmlName, nullptr, htmlLabel); }
    // A list of IDs, each named by its index from 0, inside its wrapper element in XML (written also when
    // the list is empty).
    void OutputIdList(int mode, const CStringArray& ids, LPCSTR wrapper, LPCSTR htmlLabel, LPCSTR xmlName);
    // One device interface entry: heading, GUID, symbolic link and target device.
    void OutputInterface(int mode, const CString& name, const CString& guidText, const CString& link,
                         const CString& target);
    struct NamedInterface {
        const GUID* guid;
        LPCSTR name;
    };
    // An entry for each non-empty symbolic link of the class whose interface class is one of `known`, under
    // its name there. The lists are read by index with bounds checks: a shorter GUID or target list ends
    // the report with the framework's invalid-argument error.
    void OutputKnownInterfaces(int mode, const CDeviceClass& deviceClass, std::initializer_list<NamedInterface> known);

    // What the external hub and the port device report of their port: the port's fields (the hub's port
    // count follows for a hub), the device descriptor of its connection block (heading alone without one)
    // and its first configuration (nothing without one).
    void OutputPortFields(int mode, const CHubPort& port);
    void OutputPortDeviceDescriptor(int mode, const CHubPort& port);
    void OutputPortConfiguration(int mode, const CHubPort& port);

    CObject* const m_pDevice;
};
