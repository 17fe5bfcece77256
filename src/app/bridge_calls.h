#pragma once

#include <string>

// The viewer's calls into the companion service bridge, in one place.
namespace bridge {

// Loads the library for the rest of the run; when it cannot be loaded the process ends here
// with exit code 0.
void LoadOrExit();
void StartStat();
// A usage event ("open", "location", "clip", "enhance").
void SendEvent(const std::wstring& event);
// "open_" + the start source of the command line's "from" value.
void SendStartSource(const std::wstring& from_value);
int GetQuickIndexState();
void SetQuickIndexState(int state);
// Application exit.
void Destroy();

}  // namespace bridge
