#pragma once

#include "volume/volume.h"
