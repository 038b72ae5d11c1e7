// Stand-ins until each part of the pack is generated.
#include "tools/assets/generator.h"

