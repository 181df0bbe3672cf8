#include "app/decoders/ioctl/CallArgument.h"

#include "app/decoders/framework/OutputerImp.h"

void CallArgument(IoctlFields& fields, LPCSTR label, LPCSTR element, const CString& value, LPCSTR direction) {
    fields.Field(label, element, value);
    if (fields.IsMarkup() && direction)
        fields.Imp()->AddAttribute("ArgDirection", direction);
}
