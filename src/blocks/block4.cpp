#include "blocks/blocks.h"

void block4::render() {}
