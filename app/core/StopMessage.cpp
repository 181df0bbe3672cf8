#include "app/core/StopMessage.h"

void ShowStopMessage(LPCSTR lpszText) {
    MessageBoxA(nullptr, lpszText, kStopMessageCaption, MB_ICONHAND);
}
