// The terminal console's picture, for the parts of the backend that hand the terminal over.
#pragma once

namespace terminal {

// Sends whatever changed in the picture to the terminal now.
void presentScreen();

// Waits (a little at most) until the terminal has taken the output already on its way, so that
// bytes written now on another path do not land in the middle of it.
void sendPendingOutput();

// The terminal's picture is unknown (another program used it): the next presentation redraws
// every cell.
void repaintScreen();

}  // namespace terminal
