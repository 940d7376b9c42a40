#include "Tutorial02.fx"
