// Named colours. The constexpr constructor makes them constant-initialised,
// so they hold their values before any code, static initialisers included, reads them.
#include "foundation/color.h"

static_assert(sizeof(RGBA) == sizeof(void*) + 4 * sizeof(float), "RGBA holds a vptr and four floats");

const RGBA RGBA::WHITE(1.0f, 1.0f, 1.0f, 1.0f);
const RGBA RGBA::BLACK(0.0f, 0.0f, 0.0f, 1.0f);
const RGBA RGBA::RED(1.0f, 0.0f, 0.0f, 1.0f);
const RGBA RGBA::GREEN(0.0f, 1.0f, 0.0f, 1.0f);
const RGBA RGBA::BLUE(0.0f, 0.0f, 1.0f, 1.0f);
