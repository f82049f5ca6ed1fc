#pragma once

#include <QImage>
#include <QString>

// Registers the kitten's pictures and icon (resources/mofurin.qrc, under ":/mofurin/") once;
// call it before reading any of them. Calling it from the code that reads them also keeps the
// linker from dropping the static resource library.
void InitArtResources();

// One of those pictures (a PNG), read as a PNG and nothing else. Reading through QImage alone
// would first ask every image-format plugin installed whether it reads the file, which loads
// each of them into the process at start-up; the pictures are ours and always PNG. A null
// image when the picture is missing.
QImage ReadArtPicture(const QString& name);
