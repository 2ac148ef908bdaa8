#pragma once
// The application's fixed dark colour palette.

// Builds the dark palette for every colour group and installs it application-wide.
void applyDarkPalette();
