// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Deliberately wrong: the layer check must refuse this arrow from view up to commands.
#include "commands/device_commands.h"
