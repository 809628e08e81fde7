#pragma once

// A volume header that reaches up into the scans.
#include "engine/text.h"
#include "scan/mask.h"
