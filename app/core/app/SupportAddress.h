// The maker's support mail address, a setting of the build (TDL_SUPPORT_ADDRESS): the support dialog starts a
// mail to it and the crash handler asks for the dump to be sent there.
#pragma once

#ifndef TINDALOFT_SUPPORT_ADDRESS
#define TINDALOFT_SUPPORT_ADDRESS "support@vellumcrest.com"
#endif

constexpr char kSupportAddress[] = TINDALOFT_SUPPORT_ADDRESS;
