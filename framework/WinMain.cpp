// The process entry: everything happens in the global application object.
#include "framework/CWinApp.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    return kelvo::AfxWinMain(hInstance);
}
