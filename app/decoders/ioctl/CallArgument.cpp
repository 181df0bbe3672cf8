#include "app/decoders/ioctl/CallArgument.h"

#include "app/decoders/framework/OutputerImp.h"

void CallArgument(IoctlFields& fields, LPCSTR label, LPCSTR element, const CString& value, LPCSTR direction) {
    fields.Field(label, element, value);
    if (fields.IsMarkup() && direction)
        fields.Imp()->AddAttribute("ArgDirection", direction);
}

void OpenValueSection(IoctlFields& fields, LPCSTR caption, LPCSTR value, LPCSTR element) {
    if (fields.IsMarkup())
        fields.Imp()->BeginElement(element);
    else
        fields.Imp()->BeginValueGroup(caption, value);
}

void NamedValueField(IoctlFields& fields, LPCSTR label, LPCSTR element, const CString& value, LPCSTR name,
                     LPCSTR attribute) {
    if (fields.IsMarkup()) {
        fields.Imp()->WriteValue(element, value);
        fields.Imp()->AddAttribute(attribute, name);
        return;
    }
    CString text;
    text.Format("%s (%s)", value.GetString(), name);
    fields.Field(label, element, text);
}
