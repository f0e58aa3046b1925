// The base that every part of the plug-in builds on: the shell's interface,
// the shared sizes and text helpers, and the plug-in's names and version.
#pragma once

#include "../host/takecmd.h"
#include "../text/sizes.h"
#include "../text/wide_text.h"
#include "version.h"               // generated: name, description, numbers, file name, platform
