// The browser console's picture and keys, for the services that hand the page to an overlay.
#pragma once

namespace web {

// Sends whatever changed in the picture to the page's terminal widget now.
void presentScreen();

// After an overlay had the keys: what was typed meanwhile is dropped and no key counts as down.
void takeKeysBack();

}  // namespace web
