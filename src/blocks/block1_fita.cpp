#include "blocks/blocks.h"

void block1_fita::render() {}
