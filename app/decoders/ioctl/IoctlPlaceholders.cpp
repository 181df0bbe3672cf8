#include "app/decoders/ioctl/IoctlPlaceholders.h"

void IoctlPlaceholderRows(FieldWriter& fields, std::initializer_list<LPCSTR> labels) {
    for (LPCSTR label : labels)
        fields.Field(label, kIoctlPlaceholder, nullptr, kGrid);
}
