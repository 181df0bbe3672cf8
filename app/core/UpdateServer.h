// The update server's host name, a setting of the build (TDL_UPDATE_HOST); the worker's requests go there and
// the message for a server that cannot be reached names it.
#pragma once

#ifndef TINDALOFT_UPDATE_HOST
#define TINDALOFT_UPDATE_HOST "www.vellumcrest.com"
#endif

constexpr char kUpdateServerHost[] = TINDALOFT_UPDATE_HOST;
