#include <windows.h>

#include "window/win32/clock_shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  brumo::win32::ClockShell shell(instance);
  return shell.Run();
}
