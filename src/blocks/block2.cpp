#include "blocks/blocks.h"

void block2::render() {}
