// The component object model's helpers the program uses: class identifiers from text.
#pragma once

#include "windef.h"

typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef GUID CLSID;
typedef CLSID* LPCLSID;

#ifndef CO_E_CLASSSTRING
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3L)
#endif

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hexadecimal digits of either case, nothing before or
// after). Anything else gives CO_E_CLASSSTRING and a zero *pclsid; a null text gives the zero GUID and S_OK.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
