#include "app/decoders/ioctl/IoctlDispatch.h"

#include "app/decoders/framework/OutputerImp.h"

void IoctlOutputFunctionCode(OutputerImp* imp, ULONG code, const CString& name) {
    CString text;
    text.Format("%08x", code);
    imp->WriteValue("Function", text);
    imp->AddAttribute("Name", name);
}
