// Named constants of Vector3, constant-initialised so they hold their values
// before any code, static initialisers included, reads them.
#include "foundation/vector3.h"

#include <cstddef>
#include <type_traits>

static_assert(sizeof(Vector3) == 3 * sizeof(float), "Vector3 must be three packed floats");
static_assert(std::is_standard_layout<Vector3>::value, "Vector3 is handed out by address");
static_assert(offsetof(Vector3, x) == 0 && offsetof(Vector3, y) == sizeof(float) &&
                  offsetof(Vector3, z) == 2 * sizeof(float),
              "glVertex3fv reads x, y, z in this order");

const Vector3 Vector3::XAXIS(1.0f, 0.0f, 0.0f);
const Vector3 Vector3::YAXIS(0.0f, 1.0f, 0.0f);
const Vector3 Vector3::ZAXIS(0.0f, 0.0f, 1.0f);
