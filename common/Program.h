// The end of the program: every end path goes through here.
#pragma once

#include <QString>

// Takes the single-instance lock on the application folder; false when
// another copy of the program holds it. The system drops the lock when the
// process dies, and no file is left behind.
bool AcquireSingleInstance(const QString& folder);
void ReleaseSingleInstance();

// Closes every screen, drops the single-instance lock and leaves the event loop.
void EndProgram();
// True once EndProgram has run (tests look at it).
bool ProgramEnded();
void ResetProgramEnded();

// Makes "ＭＳ Ｐ明朝" and "ＭＳ Ｐゴシック" resolve to the IPA families where
// those fonts are absent.
void RegisterFontSubstitutions();
// The screens' own face: "ＭＳ Ｐゴシック" 9 points, a proportional face in
// which full-width captions such as "ＣＡＮＣＥＬ" fit their buttons.
void SetProgramFont();
