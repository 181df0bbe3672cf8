#include "app/core/settings/AppRegistry.h"

const char* const g_pszRegistryRoot = "\\CurrentUser\\Software\\Vellumcrest\\Tindaloft\\";

COXRegistryItem g_RegistryItem;
