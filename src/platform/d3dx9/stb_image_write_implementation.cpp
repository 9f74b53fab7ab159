// The one definition of stb_image_write in the program; other code includes
// the header without the implementation macro and links this.
#include "platform/d3dx9/stb_warnings_off.h"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"
#pragma GCC diagnostic pop
