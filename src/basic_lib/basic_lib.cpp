#include "basic_lib/com_ptr.h"
#include "basic_lib/scoped_handle.h"
