// A portable file that reaches up into the plug-in and into Windows.
#include <windows.h>
#include "plugin/plug_in.h"
