// The set-up program's own resources, as its resource script would give them: dialog 104 (the welcome
// dialog), the program's icon, and the manifest (RT_MANIFEST 1). The payload (RT_RCDATA 1) is made at build
// time and registered by the entry point, so that a test can give a module a payload of its own.
#pragma once

#include "windows.h"

constexpr UINT IDD_WELCOME = 104;
constexpr UINT IDI_SETUP = 101;
#define RT_MANIFEST MAKEINTRESOURCEA(24)

// The manifest text: a 64-bit program that asks for administrator rights.
extern const char kSetupManifest[];

void RegisterSetupResources(HMODULE module);
