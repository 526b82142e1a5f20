// The live list of effects, shared by the scheduler and the title.
#include "fx/demofx.h"

std::list<DemoFX*> frags;
