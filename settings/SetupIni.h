// SETUP.ini in the current directory, read and written with the semantics
// of the Windows private-profile calls: section and key names compared
// without regard to ASCII case, other sections and keys kept on write.
// Names and values are byte strings in the system code page (GBK), so the
// section "配置信息" is stored as C5 E4 D6 C3 D0 C5 CF A2.
#pragma once

#include "files/SafeFile.h"

#include <QByteArray>
#include <QString>

constexpr int SETUP_BUFFER_SIZE = 256; // the caller's buffer; 255 is passed on

// The full path of SETUP.ini, built from the current directory at every call.
QString SetupFilePath();

// Writes key=value into section, creating the file and the section when
// missing. Non-zero on success, zero on failure (with the reason in
// *pFailure); the file on disk is then as it was. Names given as UTF-8 are
// converted to GBK.
int WriteSetupString(const char* pszSection, const char* pszKey, const char* pszValue, FileFailure* pFailure = nullptr);

// Copies the key's value into pszBuffer (SETUP_BUFFER_SIZE bytes): at most
// 254 bytes and a terminator; an empty string when the file, section or key
// is missing. Returns the number of bytes copied.
int ReadSetupString(const char* pszSection, const char* pszKey, char* pszBuffer);

// The profile operations on a file's bytes (used by the two calls above).
QByteArray ProfileGetValue(const QByteArray& file, const QByteArray& section, const QByteArray& key, bool* pFound);
QByteArray ProfileSetValue(const QByteArray& file, const QByteArray& section, const QByteArray& key,
                           const QByteArray& value);
// UTF-8 text to the system code page (GBK).
QByteArray ToAnsi(const char* pszUtf8);
