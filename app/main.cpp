// Program entry. Vistrel takes no command-line arguments.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return RunVistrel(instance);
}
