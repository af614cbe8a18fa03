// The PNG decoder for reading back gaugeshot's frames (stb_image, from Debian's libstb-dev).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>
