// The application's key in the registry and the item the program reads and writes it through.
#pragma once

#include "app/core/settings/OXRegistryItem.h"

// "\CurrentUser\Software\Vellumcrest\Tindaloft\": the application key. Its value "Version" is the layout
// of everything below it; its subkeys are "AppSettings", "Filters", "Triggers" and the framework's profile.
extern const char* const g_pszRegistryRoot;

// The item the main thread points at whatever it reads or writes below the application key.
extern COXRegistryItem g_RegistryItem;
