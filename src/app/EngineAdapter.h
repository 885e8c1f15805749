// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The adapter lives with the views, which it drives.
#include "ui/EngineAdapter.h"
