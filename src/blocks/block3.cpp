#include "blocks/blocks.h"

void block3::render() {}
