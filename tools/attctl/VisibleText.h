#pragma once

// The rule moved to common/ so that the sync's report shares it.
#include "common/VisibleText.h"
