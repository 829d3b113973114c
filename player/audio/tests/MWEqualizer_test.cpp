#include "player/audio/core/MWEqualizer.h"
