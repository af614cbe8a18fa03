// The one translation unit that compiles tinygltf. Meshes carry no images, so its image codecs
// and file access for images stay out (the options are set for every user of the target).
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
