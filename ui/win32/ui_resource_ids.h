#pragma once
// Resource identifiers of the windows' resources; plain defines so that both the
// resource compiler and C++ read them. The component's .rc includes ui_resources.rc.
#define ZORVANE_IDR_ABOUT_PICTURE 3101
