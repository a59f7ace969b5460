#pragma once
// The shared module VELTZorvane as the rest of the component uses it: PluginHelper and
// ChannelValue, the channel procedures, and the tick's channels.
#include "clamp/win32/channel_procedures.h"
#include "clamp/win32/host_channels.h"
#include "clamp/win32/shared_values.h"
