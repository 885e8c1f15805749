#pragma once

// The adapter lives with the views, which it drives.
#include "ui/EngineAdapter.h"
