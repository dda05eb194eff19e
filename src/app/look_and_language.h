// What gives the program its look and its language: the style, the font the
// fixed layout is drawn for, Qt's own texts in Russian. The program and the
// widget tests both start with it, so that the tests see what the operator sees.
#pragma once

class QApplication;

// Call once, after the QApplication exists and before any window is built.
// False when Qt's Russian translations could not be found (Qt's own dialogs
// then speak English); everything else is applied all the same.
bool applyLookAndLanguage(QApplication& app);
