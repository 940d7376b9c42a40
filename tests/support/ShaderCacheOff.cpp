// Linked into every suite: no suite writes into the user's shader cache. Each suite, and every
// program it starts, compiles with the cache off unless a test points VC_SHADER_CACHE at a
// temporary folder of its own (set over whatever the user's environment names).
#include <cstdlib>

namespace
{
const int g_shaderCacheOff = setenv("VC_SHADER_CACHE", "off", 1);
}
