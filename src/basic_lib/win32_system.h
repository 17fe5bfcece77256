#pragma once

#include <string>

namespace basic_lib {

// Deletes a folder with everything in it, permanently (not to the recycle bin), without any
// confirmation or error window. Refuses empty paths and drive roots. True when the folder is gone.
bool DeleteFolderTree(const std::wstring& folder);

}  // namespace basic_lib
