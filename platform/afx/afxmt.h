// The framework's multithreading header: the synchronisation objects.
#pragma once

#include "AfxSyncObjects.h"
