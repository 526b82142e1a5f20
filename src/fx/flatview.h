// The flat view the circle effects and the closing fade draw in: x from -4
// to 4 and y from -3 to 3, so on the 800 x 600 viewport one unit is 100 pixels.
#pragma once

// Loads the view's projection, then selects the model-view matrix and resets it.
void LoadFlatView();
