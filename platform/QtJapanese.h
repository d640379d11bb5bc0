// Qt's own texts in Japanese: the buttons of message boxes (はい(&Y), いいえ(&N),
// キャンセル, ...) and the file dialog, whatever the user's locale.
#pragma once

// Installs Qt's Japanese translation (qtbase_ja from Qt's translations folder)
// on the application, once. Returns false when the translation is missing:
// Qt's texts then stay in English.
bool LoadQtJapanese();
