// SETUP.ini: a small private-profile reader and writer.
//
// File layout, as the Windows profile calls read and write it:
//   [section]          section name between brackets, blanks around it ignored
//   key=value          blanks around key and value ignored; a value in
//                      matching quotes loses them when read
// Lines end in CR LF when we write them; LF alone and CR alone end a line as
// well. The first section of a name and the first key of a name within it
// count.
#include "settings/SetupIni.h"

#include <QDir>
#include <QStringEncoder>

#include <cstring>

namespace {
struct Line
{
    qsizetype nStart;  // offset of the line in the file
    qsizetype nLength; // without the line end
    qsizetype nNext;   // offset of the next line
};

QList<Line> SplitLines(const QByteArray& file)
{
    QList<Line> lines;
    qsizetype nPos = 0;
    while (nPos < file.size())
    {
        qsizetype nEnd = nPos;
        while (nEnd < file.size() && file[nEnd] != '\n' && file[nEnd] != '\r')
            ++nEnd;
        qsizetype nNext = nEnd;
        if (nNext < file.size() && file[nNext] == '\r')
            ++nNext;
        if (nNext < file.size() && file[nNext] == '\n')
            ++nNext;
        lines.append({nPos, nEnd - nPos, nNext});
        nPos = nNext;
    }
    return lines;
}

QByteArray Trimmed(const QByteArray& text)
{
    qsizetype nFirst = 0;
    qsizetype nLast = text.size() - 1;
    while (nFirst <= nLast && (text[nFirst] == ' ' || text[nFirst] == '\t'))
        ++nFirst;
    while (nLast >= nFirst && (text[nLast] == ' ' || text[nLast] == '\t'))
        --nLast;
    return text.mid(nFirst, nLast - nFirst + 1);
}

// Names compare without regard to ASCII case; other bytes (GBK) must match.
bool SameName(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
    {
        char ca = a[i];
        char cb = b[i];
        if (ca >= 'A' && ca <= 'Z')
            ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb)
            return false;
    }
    return true;
}

// The section name of a "[name]" line, or false for any other line.
bool SectionName(const QByteArray& line, QByteArray& name)
{
    const QByteArray trimmed = Trimmed(line);
    if (!trimmed.startsWith('['))
        return false;
    qsizetype nClose = trimmed.indexOf(']');
    if (nClose < 0)
        nClose = trimmed.size();
    name = Trimmed(trimmed.mid(1, nClose - 1));
    return true;
}

bool KeyAndValue(const QByteArray& line, QByteArray& key, QByteArray& value)
{
    const qsizetype nEquals = line.indexOf('=');
    if (nEquals < 0)
        return false;
    key = Trimmed(line.left(nEquals));
    value = Trimmed(line.mid(nEquals + 1));
    return true;
}

// Index of the section's header line, or -1.
int FindSection(const QByteArray& file, const QList<Line>& lines, const QByteArray& section)
{
    for (int i = 0; i < lines.size(); ++i)
    {
        QByteArray name;
        if (SectionName(file.mid(lines[i].nStart, lines[i].nLength), name) && SameName(name, section))
            return i;
    }
    return -1;
}

// The line of key within the section that starts at line nSection, or -1;
// *pLastEntry gets the section's last line that is not blank.
int FindKey(const QByteArray& file, const QList<Line>& lines, int nSection, const QByteArray& key, QByteArray* pValue,
            int* pLastEntry)
{
    *pLastEntry = nSection;
    for (int i = nSection + 1; i < lines.size(); ++i)
    {
        const QByteArray line = file.mid(lines[i].nStart, lines[i].nLength);
        QByteArray name;
        if (SectionName(line, name))
            break;
        QByteArray lineKey;
        if (KeyAndValue(line, lineKey, *pValue) && SameName(lineKey, key))
            return i;
        if (!Trimmed(line).isEmpty())
            *pLastEntry = i;
    }
    return -1;
}

// A settings file is small; anything larger is not one of ours.
constexpr qint64 SETUP_MAX_BYTES = 4 * 1024 * 1024;
} // namespace

QByteArray ToAnsi(const char* pszUtf8)
{
    QStringEncoder encoder("GBK");
    const QString text = QString::fromUtf8(pszUtf8);
    if (!encoder.isValid())
        return text.toLocal8Bit();
    return encoder.encode(text);
}

QString SetupFilePath()
{
    // The whole current directory, however long: a path that does not fit a
    // fixed buffer still names the right file.
    return QDir::currentPath() + QStringLiteral("/SETUP.ini");
}

QByteArray ProfileGetValue(const QByteArray& file, const QByteArray& section, const QByteArray& key, bool* pFound)
{
    *pFound = false;
    const QList<Line> lines = SplitLines(file);
    const int nSection = FindSection(file, lines, section);
    if (nSection < 0)
        return QByteArray();
    QByteArray value;
    int nLastEntry = 0;
    if (FindKey(file, lines, nSection, key, &value, &nLastEntry) < 0)
        return QByteArray();
    *pFound = true;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

QByteArray ProfileSetValue(const QByteArray& file, const QByteArray& section, const QByteArray& key,
                           const QByteArray& value)
{
    const QByteArray entry = key + '=' + value;
    const QList<Line> lines = SplitLines(file);
    const int nSection = FindSection(file, lines, section);
    if (nSection < 0)
    {
        QByteArray result = file;
        if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
            result += "\r\n";
        return result + '[' + section + "]\r\n" + entry + "\r\n";
    }

    QByteArray oldValue;
    int nLastEntry = nSection;
    const int nKey = FindKey(file, lines, nSection, key, &oldValue, &nLastEntry);
    if (nKey >= 0)
    {
        QByteArray result = file;
        result.replace(lines[nKey].nStart, lines[nKey].nLength, entry);
        return result;
    }

    // A new key goes after the section's last line that is not blank.
    const Line& after = lines[nLastEntry];
    QByteArray result = file;
    if (after.nNext == after.nStart + after.nLength) // the last line had no line end
    {
        result.insert(after.nNext, "\r\n" + entry + "\r\n");
        return result;
    }
    result.insert(after.nNext, entry + "\r\n");
    return result;
}

int WriteSetupString(const char* pszSection, const char* pszKey, const char* pszValue, FileFailure* pFailure)
{
    const QString strPath = SetupFilePath();
    // The other sections and keys are kept, so a file that cannot be read
    // (or is not a file) is not written over either.
    QByteArray before;
    FileFailure failure;
    if (!ReadRegularFile(strPath, SETUP_MAX_BYTES, &before, &failure) && failure.error != FileError::NotFound)
    {
        if (pFailure)
            *pFailure = failure;
        return 0;
    }
    const QByteArray after = ProfileSetValue(before, ToAnsi(pszSection), ToAnsi(pszKey), ToAnsi(pszValue));
    return WriteFileSafely(strPath, after, pFailure) ? 1 : 0;
}

int ReadSetupString(const char* pszSection, const char* pszKey, char* pszBuffer)
{
    constexpr int nSizePassed = SETUP_BUFFER_SIZE - 1;
    pszBuffer[0] = '\0';
    // A FIFO or a device in its place is not read (it would never end).
    QByteArray file;
    if (!ReadRegularFile(SetupFilePath(), SETUP_MAX_BYTES, &file))
        return 0;
    bool bFound = false;
    const QByteArray value = ProfileGetValue(file, ToAnsi(pszSection), ToAnsi(pszKey), &bFound);
    const int nCopy = static_cast<int>(qMin(value.size(), qsizetype(nSizePassed - 1)));
    std::memcpy(pszBuffer, value.constData(), static_cast<size_t>(nCopy));
    pszBuffer[nCopy] = '\0';
    return nCopy;
}
