// mingw's libuuid lacks the thumbnail cache's class and interface ids; the header's DEFINE_GUID
// lines become definitions here, once for the whole program.
#include <initguid.h>
#include <thumbcache.h>
