// The Windows console's picture, for the services that hand the screen's viewer to another
// program.
#pragma once

namespace win32 {

// Shows whatever changed in the picture now.
void presentScreen();

}  // namespace win32
