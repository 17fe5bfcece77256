#include <windows.h>

#include "app/tolvane_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CTolvaneApp app;
  return framework::RunApplication(app);
}
