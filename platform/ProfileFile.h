// Reading and writing settings in INI-style profile files ([section] / key=value),
// kept in UTF-8. Section and key names match regardless of ASCII case.
#pragma once

#include <QString>

// Copies the value of `key` in `section` into `result` and returns its length in
// characters. Blanks around the value are dropped, then one pair of quotes when the
// value begins and ends with the same quote, single or double ("1.5" and '1.5' read as
// 1.5; other quotes stay). A missing or unreadable file, section or key, and an empty
// value, all give an empty result and 0. When the key appears more than once in the
// section, the first one counts.
int GetPrivateProfileString(const QString& section, const QString& key, QString& result,
                            const QString& path);

// Sets `key` in `section` to `value`, creating the file, the section or the key as
// needed; other sections, keys and comments are kept. The file is replaced in one step
// through a temporary file beside it, so it is never left half written. Returns false,
// leaving the file as it was, when an existing file cannot be read, the file cannot be
// written, or a name or the value holds a line break.
bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path);
