#include "blocks/blocks.h"

void block1::render() {}
