// The browser console's keys, for the services that hand the page to an overlay.
#pragma once

namespace web {

// After an overlay had the keys: what was typed meanwhile is dropped, no key counts as down, and
// the time the overlay stood counts as a wait.
void takeKeysBack();

}  // namespace web
