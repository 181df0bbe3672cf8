// The update server's host name and the download page, settings of the build (TDL_UPDATE_HOST,
// TDL_DOWNLOAD_PAGE): the worker's requests go to the host, the message for a server that cannot be reached
// names it, and the update dialog's "Website" opens the page.
#pragma once

#ifndef TINDALOFT_UPDATE_HOST
#define TINDALOFT_UPDATE_HOST "www.vellumcrest.com"
#endif
#ifndef TINDALOFT_DOWNLOAD_PAGE
#define TINDALOFT_DOWNLOAD_PAGE "http://www.vellumcrest.com/tindaloft/download.html"
#endif

constexpr char kUpdateServerHost[] = TINDALOFT_UPDATE_HOST;
constexpr char kDownloadPage[] = TINDALOFT_DOWNLOAD_PAGE;
