#include "blocks/blocks.h"

void block_credits::render() {}
