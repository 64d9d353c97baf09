// The two languages of the interface, and a text stored in both of them.
#pragma once

#include <QString>

// The interface language, with the values the settings file keeps:
// 1 English, 2 Chinese.
enum Language : int
{
    LANGUAGE_ENGLISH = 1,
    LANGUAGE_CHINESE = 2,
};

// One text in both languages (UTF-8).
struct BiText
{
    const char* zh;
    const char* en;
};

// The English text for LANGUAGE_ENGLISH, the Chinese one otherwise.
inline QString PickText(const BiText& text, Language language)
{
    return QString::fromUtf8(language == LANGUAGE_ENGLISH ? text.en : text.zh);
}
