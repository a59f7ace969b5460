// The windows reaching into the DLL above them.
#include "component/module_lifetime.h"
