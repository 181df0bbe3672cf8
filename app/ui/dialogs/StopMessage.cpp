#include "app/ui/dialogs/StopMessage.h"

void ShowStopMessage(LPCSTR lpszText) {
    MessageBoxA(nullptr, lpszText, kStopMessageCaption, MB_ICONHAND);
}
