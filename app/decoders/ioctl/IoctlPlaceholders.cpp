#include "app/decoders/ioctl/IoctlPlaceholders.h"

#include "app/decoders/framework/OutputerImp.h"

void IoctlPlaceholderRows(IoctlFields& fields, std::initializer_list<LPCSTR> labels) {
    if (!fields.IsGrid())
        return;
    for (LPCSTR label : labels)
        fields.Field(label, kIoctlPlaceholder);
}
