// The terminal console's picture, for the parts of the backend that hand the terminal over.
#pragma once

namespace terminal {

// Sends whatever changed in the picture to the terminal now.
void presentScreen();

// The terminal's picture is unknown (another program used it): the next presentation redraws
// every cell.
void repaintScreen();

}  // namespace terminal
