// The capture document of the main window's active child frame; null without a main frame or a document.
#pragma once

class CUSBLog;

CUSBLog* ActiveLogDocument();
