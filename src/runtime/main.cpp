// Process entry. On Windows the C runtime calls WinMain itself; elsewhere the
// platform's main calls the Windows-style entry point.
#include "platform/win32/win32.h"

#if !defined(_WIN32)
int main() { return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW); }
#endif
