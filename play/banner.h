// The hidden banner, typed over the play screen at the head of every tick once the player has
// found the legend square.
#pragma once

inline constexpr int kBannerLines = 39;
inline constexpr int kBannerWidth = 71;

// The banner's lines, each 71 characters followed by a line break.
extern const char* const kBanner[kBannerLines];

// Types the whole banner from the cursor on, in the attribute in force, one line at a time.
void typeBanner();
