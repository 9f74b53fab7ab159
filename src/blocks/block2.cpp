#include "blocks/blocks.h"
#include "effects/veil.h"

// The transition: a near-black veil over whatever the main blocks drew.
void block2::render() { drawVeil(startMs, endMs, nowMs); }
