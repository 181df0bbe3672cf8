#include "app/decoders/ioctl/CallArgument.h"

void CallArgument(FieldWriter& fields, LPCSTR label, LPCSTR element, FieldText value, LPCSTR direction) {
    fields.Field({element, label}, value);
    if (direction)
        fields.Attribute("ArgDirection", direction);
}

void CallArgument(FieldWriter& fields, LPCSTR label, LPCSTR element, FieldText markupValue, FieldText gridValue,
                  LPCSTR direction) {
    fields.Field(element, markupValue, nullptr, kXml);
    if (direction)
        fields.Attribute("ArgDirection", direction);
    fields.Field(label, gridValue, nullptr, kNotMarkup);
}

void OpenValueSection(FieldWriter& fields, LPCSTR caption, LPCSTR value, LPCSTR element) {
    fields.Open(FieldSection::Block, {element, caption}, value);
}

void NamedValueField(FieldWriter& fields, LPCSTR label, LPCSTR element, const CString& value, LPCSTR name,
                     LPCSTR attribute) {
    fields.NamedField({element, label}, value, attribute, name, FieldDecl::kAttributeAfter);
}
