// The dialog's texts in both languages: captions, list columns and the
// messages the dialog shows.
#pragma once

#include "texts/MeterTexts.h"

#include <array>

struct ListColumnText
{
    const char* pszHeading;
    int nWidth;
};

struct CaptionText
{
    int nId;
    const char* pszCaption;
};

constexpr int LANGUAGE_CAPTION_COUNT = 28;
constexpr int LANGUAGE_COLUMN_COUNT = 7;

struct LanguageTable
{
    int nComboIndex; // item of the language list: 0 "English", 1 "中文"
    std::array<ListColumnText, LANGUAGE_COLUMN_COUNT> columns;
    std::array<CaptionText, LANGUAGE_CAPTION_COUNT> captions;
};

// Extended style of the record list, the same in both languages.
constexpr unsigned RECORD_LIST_EX_STYLE = 0x171;

extern const LanguageTable TABLE_ENGLISH;
extern const LanguageTable TABLE_CHINESE;

// Messages and status lines of saving and opening reports.
extern const BiText TXT_SAVE_NOT_XLS;
extern const BiText TXT_SAVING;
extern const BiText TXT_SAVE_DONE;
extern const BiText TXT_SAVE_ERROR;
extern const BiText TXT_NO_EXCEL;
extern const BiText TXT_OPENING;
extern const BiText TXT_OPEN_ERROR;

// The link: a download under way (%1 records of %2), how one ended early,
// and a meter that did not answer.
extern const BiText TXT_DOWNLOAD_PROGRESS;
extern const BiText TXT_DOWNLOAD_NO_ANSWER;
extern const BiText TXT_DOWNLOAD_LINE_LOST;
extern const BiText TXT_DOWNLOAD_INTERRUPTED;
extern const BiText TXT_NO_ANSWER;

// Clock values outside the calendar (%1 is the value typed).
extern const BiText TXT_CLOCK_YEAR;
extern const BiText TXT_CLOCK_MONTH;
extern const BiText TXT_CLOCK_DAY;
extern const BiText TXT_CLOCK_HOUR;
extern const BiText TXT_CLOCK_MINUTE;
extern const BiText TXT_CLOCK_SECOND;

// Leaving with rows that were not saved (%1 rows), and a language that
// could not be kept (%1 the settings file).
extern const BiText TXT_QUIT_UNSAVED;
extern const BiText TXT_LANGUAGE_NOT_SAVED;

// Validation messages of the data exchange (English only, as the framework's).
extern const char* const TXT_PARSE_REAL;
extern const char* const TXT_PARSE_BYTE;
