/* stb_image's Targa decoder, built with the same compiler and options as
   the saver: the yardstick of the Targa benchmark. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb_image.h>
