// The application icon shown in the desktop's menu and on the window.
#pragma once

#include <QImage>

// The icon drawn for one square size in pixels (16 to 256), with alpha.
QImage drawAppIcon(int size);

// The sizes the icon theme gets, smallest first.
inline constexpr int kAppIconSizes[] = {16, 32, 48, 64, 128, 256};
