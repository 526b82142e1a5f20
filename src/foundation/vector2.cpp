// Named constants of Vector2, constant-initialised so they hold their values
// before any code, static initialisers included, reads them.
#include "foundation/vector2.h"

#include <type_traits>

static_assert(sizeof(Vector2) == 2 * sizeof(float), "Vector2 must be two packed floats");
static_assert(std::is_standard_layout<Vector2>::value, "Vector2 is handed out by address");

const Vector2 Vector2::XAXIS(1.0f, 0.0f);
const Vector2 Vector2::YAXIS(0.0f, 1.0f);
