// One argument or result of a function call (hub-interface calls, port-driver hooks): the IOCTL kit's field,
// and in mark-up, where no "Inputs" or "Outputs" group holds it, the way it went ("ArgDirection"). And the
// section of a structure a call passes, where the grid's group names the structure in its value.
#pragma once

#include "app/decoders/framework/FieldWriter.h"

// `direction` is "in", "out", "in_out", or null for a field that carries none.
void CallArgument(FieldWriter& fields, LPCSTR label, LPCSTR element, FieldText value, LPCSTR direction);
// The same where the grid shows another text than the mark-up's value.
void CallArgument(FieldWriter& fields, LPCSTR label, LPCSTR element, FieldText markupValue, FieldText gridValue,
                  LPCSTR direction);

// A data section whose grid group has a value: mode 0 BeginElement(element), other modes
// BeginValueGroup(caption, value). The writer's Close(FieldSection::Block) closes it.
void OpenValueSection(FieldWriter& fields, LPCSTR caption, LPCSTR value, LPCSTR element);

// A number with its name: mode 1 (and 2) "value (name)" under `label`; mode 0 the value under `element` with
// the name as the attribute `attribute`.
void NamedValueField(FieldWriter& fields, LPCSTR label, LPCSTR element, const CString& value, LPCSTR name,
                     LPCSTR attribute);
