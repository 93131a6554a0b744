/* stb_image's BMP, Targa and JPEG decoders, built with the same compiler
   and options as the saver: the readers the benchmark compares ours with. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb_image.h>
