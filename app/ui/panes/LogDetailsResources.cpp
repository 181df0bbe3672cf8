#include "app/ui/panes/LogDetailsResources.h"

#include <iterator>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "tindaloft_app_embedded.h"

namespace {

// Each button's prompt, then "\n" and the caption its tooltip shows.
const AFX_STRING_ENTRY kStrings[] = {
    {ID_PROPERTIES_CATEGORIZED, "Show the properties grouped by category\nCategorized"},
    {ID_PROPERTIES_ALPHABETIC, "Show the properties in alphabetical order\nAlphabetic"},
};

} // namespace

void RegisterLogDetailsResources() {
    AfxRegisterStringTable(kStrings, std::size(kStrings));
    // The images are drawn on pure green, the pane's key colour.
    win32::RegisterToolbarResource(nullptr, IDR_LOGDETAILS_TOOLBAR,
                                   {16, 16, {ID_PROPERTIES_CATEGORIZED, ID_PROPERTIES_ALPHABETIC}});
    win32::RegisterBitmapResource(nullptr, IDR_LOGDETAILS_TOOLBAR, tdl::embedded::logdetails_toolbar_png,
                                  tdl::embedded::logdetails_toolbar_png_size);
}
