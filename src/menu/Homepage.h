#pragma once

#include <QString>

// The maker's homepage, offered by the bar's HP button: the web address the build was given, or
// else the page of the program's own in the installation folder, as a file: URL.
QString HomepageUrl();
