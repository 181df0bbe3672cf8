// The record list's commands (its context menus send them to the list; the frame's menus and toolbar carry
// 105 and 108, app/ui/frame/MainFrameIds.h) and the help topics it opens.
#pragma once

#include "app/ui/frame/MainFrameIds.h"

constexpr unsigned ID_BESTFIT_COLUMNS = 198;
constexpr unsigned ID_SET_TIME_ORIGIN = 199;
constexpr unsigned ID_REMOVE_COLUMN = 200;
constexpr unsigned ID_TIME_SECONDS = 201;
constexpr unsigned ID_TIME_MILLISECONDS = 202;
constexpr unsigned ID_TIME_MICROSECONDS = 203;
constexpr unsigned ID_ARRANGE_COLUMNS = 204;
constexpr unsigned ID_TOGGLE_TIMEMODE = 222;
constexpr unsigned ID_HELP_LOGVIEW = 224;
constexpr unsigned ID_HELP_LOGVIEW_CUSTOMIZATION = 226;
// "&Help on %s" of a row: one command per topic group.
constexpr unsigned ID_HELP_ON_URB = 228;
constexpr unsigned ID_HELP_ON_USBINT = 229;
constexpr unsigned ID_HELP_ON_IHUB = 235;
constexpr unsigned ID_HELP_ON_MPORT = 236;
// The data bar's bytes as a CSV file (the Log Details grid's export button sends it).
constexpr unsigned ID_EXPORT_XFERBUFFER = 240;
// "&Add column": 600 + the column's id.
constexpr unsigned ID_ADD_COLUMN_FIRST = 600;
constexpr unsigned ID_ADD_COLUMN_LAST = 615;

// HTML Help contexts of the two help commands of the list.
constexpr unsigned IDH_LOG_VIEW = 39;
constexpr unsigned IDH_LOG_VIEW_CUSTOMIZATION = 38;
