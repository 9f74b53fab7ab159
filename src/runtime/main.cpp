// Process entry: the platform's main calls the Windows-style entry point.
#include "platform/win32/win32.h"

int main() { return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW); }
