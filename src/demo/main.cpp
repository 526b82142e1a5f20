// The zarv executable: the show in a full-screen window.
#include "demo/demo.h"

int main() { return runShow(); }
