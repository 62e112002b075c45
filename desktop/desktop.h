#pragma once

#include <QString>

class QWidget;

namespace zb {

// Opens an address in the user's default browser.
void openUrl(const QString &url);
// Shows a folder in the user's file manager.
void openFolder(const QString &path);
// Mode 1 keeps the window above all others, mode 0 releases it; other modes do nothing (0).
int setStaysOnTop(QWidget *window, int mode);
// Plays a sound file in the background, cutting off the sound still playing;
// a missing file or no audio device plays nothing.
void playWaveFile(const QString &path);
// Qt's own texts (standard buttons, file dialogs) in Japanese, from the
// system's Qt translations; false, leaving them English, when those are missing.
bool installQtTranslations();

} // namespace zb
