// The pictures stored inside the program: toolbar icons, the error
// indicator, the copy-day button and arrow, the About picture.
#pragma once

#include <QIcon>
#include <QPixmap>

// Embedded pictures, ids 0..10:
// 0 error indicator (45x30), 1 copy-day button (24x24), 2 copy arrow (50x25),
// 3 About picture (146x155), 4..10 toolbar icons (16x16): new, open, save,
// help, web site, about, exit.
inline constexpr int kEmbeddedImageCount = 11;

// Loads the picture on first use and keeps it; a null pixmap for an unknown id.
QPixmap embeddedImage(int id);
QIcon embeddedIcon(int id);
// Loads all eleven at once; false when one of them is missing.
bool preloadEmbeddedImages();
