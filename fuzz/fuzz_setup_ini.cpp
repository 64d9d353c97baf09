// Fuzz target of SETUP.ini's profile functions. For any file the input
// makes, and a section, key and value taken from it: what is written reads
// back, every other key found before is found after with its value, and
// reading never fails on any bytes.
#include "settings/SetupIni.h"

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void Check(bool bOk)
{
    if (!bOk)
        std::abort();
}

// A name as the program writes one: no brackets, no equals sign, no line
// end, no blanks at its ends, not empty.
QByteArray Name(const QByteArray& raw)
{
    QByteArray name;
    for (const char c : raw)
        if (c != '[' && c != ']' && c != '=' && c != '\r' && c != '\n' && c != '\0')
            name.append(c);
    name = name.trimmed();
    return name.isEmpty() ? QByteArray("x") : name;
}

// A value: no line end, no blanks at its ends, no quotes around it.
QByteArray Value(const QByteArray& raw)
{
    QByteArray value;
    for (const char c : raw)
        if (c != '\r' && c != '\n' && c != '\0' && c != '"' && c != '\'')
            value.append(c);
    return value.trimmed();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    // Layout of the input: the file, then \0-separated section, key, value,
    // and a second key of another section that must survive.
    const QByteArray input(reinterpret_cast<const char*>(pData), qsizetype(nSize));
    const QList<QByteArray> parts = input.split('\0');
    const QByteArray file = parts.value(0);
    const QByteArray section = Name(parts.value(1, "s"));
    const QByteArray key = Name(parts.value(2, "k"));
    const QByteArray value = Value(parts.value(3));
    const QByteArray otherSection = Name(parts.value(4, "o"));
    const QByteArray otherKey = Name(parts.value(5, "q"));

    bool bOtherFound = false;
    const QByteArray otherBefore = ProfileGetValue(file, otherSection, otherKey, &bOtherFound);
    const QByteArray written = ProfileSetValue(file, section, key, value);
    bool bFound = false;
    Check(ProfileGetValue(written, section, key, &bFound) == value && bFound);
    // Another key keeps its value (unless it is the very key written).
    const bool bSameKey =
        otherSection.compare(section, Qt::CaseInsensitive) == 0 && otherKey.compare(key, Qt::CaseInsensitive) == 0;
    if (bOtherFound && !bSameKey)
    {
        bool bStill = false;
        Check(ProfileGetValue(written, otherSection, otherKey, &bStill) == otherBefore && bStill);
    }
    // Writing the same again changes nothing.
    Check(ProfileSetValue(written, section, key, value) == written);
    return 0;
}
