#pragma once

// Registers the kitten's pictures and icon (resources/mofurin.qrc, under ":/mofurin/") once;
// call it before reading any of them. Calling it from the code that reads them also keeps the
// linker from dropping the static resource library.
void InitArtResources();
