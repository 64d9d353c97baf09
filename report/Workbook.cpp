// In-memory workbook: the compact cell store behind Worksheet.
#include "report/Workbook.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

CellFormat CellFormat::Unpack(quint16 nPacked)
{
    CellFormat format;
    format.bBold = (nPacked & 0x01) != 0;
    format.bTextFormat = (nPacked & 0x02) != 0;
    format.nHorzAlign = (nPacked >> 2) & 0x07;
    format.nVertAlign = (nPacked >> 5) & 0x07;
    const int nFill = (nPacked >> 8) & 0x3F;
    format.nFillColorIndex = nFill == 0 ? -1 : nFill;
    return format;
}

qsizetype Worksheet::SearchAll(quint32 nKey) const
{
    auto it = std::lower_bound(m_cells.begin(), m_cells.end(), nKey,
                               [](const Slot& slot, quint32 n) { return slot.nKey < n; });
    if (it == m_cells.end() || it->nKey != nKey)
        return -1;
    return m_nHint = qsizetype(it - m_cells.begin());
}

Worksheet::Slot* Worksheet::TouchBefore(int nRow, int nCol)
{
    if (nRow < 0 || nRow >= SHEET_MAX_ROWS || nCol < 0 || nCol >= SHEET_MAX_COLS)
        return nullptr;
    if (m_bUnsorted)
        FinishAppending();
    const quint32 nKey = Key(nRow, nCol);
    NoteColumn(nCol);
    if (m_cells.empty() || m_cells.back().nKey < nKey)
    {
        MakeRoom(m_cells);
        m_cells.push_back(Slot{nKey, NO_TEXT, m_defaultFormat.Pack()});
        return &m_cells.back();
    }
    // A cell already there may be waiting for its text, and an insertion
    // moves the cells after it.
    FlushTexts();
    auto it = std::lower_bound(m_cells.begin(), m_cells.end(), nKey,
                               [](const Slot& slot, quint32 n) { return slot.nKey < n; });
    if (it == m_cells.end() || it->nKey != nKey)
        it = m_cells.insert(it, Slot{nKey, NO_TEXT, m_defaultFormat.Pack()});
    return &*it;
}

quint32 Worksheet::AddText(const QString& strText)
{
    FlushTexts();
    m_bTextsDistinct = false;
    m_textIndex.clear();
    m_nLongestText = std::max(m_nLongestText, strText.size());
    MakeRoom(m_texts);
    m_texts.push_back(strText);
    return quint32(m_texts.size() - 1);
}

void Worksheet::AppendInOrder(const Slot* pSlots, size_t nCount, int nFirstCol, int nLastCol)
{
    FlushTexts();
    if (nCount == 0)
        return;
    if (m_bUnsorted || (!m_cells.empty() && m_cells.back().nKey >= pSlots[0].nKey))
    {
        for (size_t i = 0; i < nCount; ++i)
            Append(int(pSlots[i].nKey >> 8), int(pSlots[i].nKey & 0xFF), pSlots[i].nFormat, pSlots[i].nText);
        return;
    }
    NoteColumn(nFirstCol);
    NoteColumn(nLastCol);
    if (m_cells.capacity() - m_cells.size() < nCount)
    {
        Grow(m_cells);
        m_cells.reserve(std::max(m_cells.capacity(), m_cells.size() + nCount));
    }
    m_cells.insert(m_cells.end(), pSlots, pSlots + nCount);
}

void Worksheet::AdoptTexts(TextArray&& texts)
{
    FlushTexts();
    if (!m_texts.empty())
    {
        for (const QString& str : texts)
            AddText(str);
        return;
    }
    if (texts.empty())
        return;
    m_bTextsDistinct = false;
    m_textIndex.clear();
    m_texts = std::move(texts);
    for (const QString& str : m_texts)
        m_nLongestText = std::max(m_nLongestText, str.size());
}

namespace {
// A hash of the characters, four UTF-16 units (8 bytes) a step: cheap, and
// good enough for an index whose probes compare the texts themselves.
quint32 TextHash(QStringView str)
{
    const char* p = reinterpret_cast<const char*>(str.utf16());
    size_t nBytes = size_t(str.size()) * 2;
    quint64 nHash = 0x9E3779B97F4A7C15ull ^ nBytes;
    for (; nBytes >= 8; nBytes -= 8, p += 8)
    {
        quint64 nWord;
        std::memcpy(&nWord, p, 8);
        nHash = (nHash ^ nWord) * 0xFF51AFD7ED558CCDull;
        nHash ^= nHash >> 32;
    }
    // The last 0 to 3 units in at most two loads (a copy of a length
    // unknown here would go byte by byte).
    quint64 nTail = 0;
    if (nBytes >= 4)
    {
        quint32 nLow, nHigh;
        std::memcpy(&nLow, p, 4);
        std::memcpy(&nHigh, p + nBytes - 4, 4); // the same unit twice for three
        nTail = nLow | (quint64(nHigh) << 32);
    }
    else if (nBytes == 2)
    {
        quint16 nUnit;
        std::memcpy(&nUnit, p, 2);
        nTail = nUnit;
    }
    nHash = (nHash ^ nTail) * 0xC4CEB9FE1A85EC53ull;
    return quint32(nHash >> 32);
}

// Equal texts, without a call into Qt for the common cases (the same
// characters, or different lengths), and without a call at all for up to
// eight units: two loads from each, the second ending at the end (they
// may overlap).
bool SameText(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    if (a.constData() == b.constData())
        return true;
    const size_t nBytes = size_t(a.size()) * sizeof(QChar);
    const char* pA = reinterpret_cast<const char*>(a.constData());
    const char* pB = reinterpret_cast<const char*>(b.constData());
    if (nBytes > 16)
        return std::memcmp(pA, pB, nBytes) == 0;
    if (nBytes >= 8)
        return qFromUnaligned<quint64>(pA) == qFromUnaligned<quint64>(pB) &&
               qFromUnaligned<quint64>(pA + nBytes - 8) == qFromUnaligned<quint64>(pB + nBytes - 8);
    if (nBytes >= 4)
        return qFromUnaligned<quint32>(pA) == qFromUnaligned<quint32>(pB) &&
               qFromUnaligned<quint32>(pA + nBytes - 4) == qFromUnaligned<quint32>(pB + nBytes - 4);
    return nBytes == 0 || qFromUnaligned<quint16>(pA) == qFromUnaligned<quint16>(pB);
}
} // namespace

void Worksheet::GrowTextIndex(size_t nMinSize)
{
    size_t nSize = m_textIndex.empty() ? 1024 : 2 * m_textIndex.size();
    while (nSize < nMinSize)
        nSize *= 2;
    decltype(m_textIndex) old(nSize); // zeros (see ZeroedAllocator)
    old.swap(m_textIndex);
    const size_t nMask = nSize - 1;
    for (const quint64 nOld : old)
    {
        if (nOld == 0)
            continue;
        size_t nSlot = size_t(nOld >> 32) & nMask;
        while (m_textIndex[nSlot] != 0)
            nSlot = (nSlot + 1) & nMask;
        m_textIndex[nSlot] = nOld;
    }
}

quint32 Worksheet::InternText(QString& strText, quint32 nHash)
{
    if (!m_bTextsDistinct)
    {
        m_nLongestText = std::max(m_nLongestText, strText.size());
        MakeRoom(m_texts);
        m_texts.push_back(std::move(strText));
        return quint32(m_texts.size() - 1);
    }
    const size_t nMask = m_textIndex.size() - 1;
    size_t nSlot = nHash & nMask;
    for (; m_textIndex[nSlot] != 0; nSlot = (nSlot + 1) & nMask)
    {
        const quint64 nValue = m_textIndex[nSlot];
        const quint32 nEntry = quint32(nValue) - 1;
        if (quint32(nValue >> 32) == nHash && SameText(m_texts[nEntry], strText))
            return nEntry;
    }
    m_textIndex[nSlot] = (quint64(nHash) << 32) | quint64(m_texts.size() + 1);
    m_nLongestText = std::max(m_nLongestText, strText.size());
    MakeRoom(m_texts);
    m_texts.push_back(std::move(strText));
    return quint32(m_texts.size() - 1);
}

void Worksheet::LookUpPending()
{
    const int nCount = m_nPending;
    m_nPending = 0;
    if (m_lastTextOfColumn.empty())
        m_lastTextOfColumn.resize(SHEET_MAX_COLS);
    quint32 hashes[PENDING_TEXTS];
    if (m_bTextsDistinct)
    {
        if (2 * (m_texts.size() + size_t(nCount)) > m_textIndex.size())
            GrowTextIndex(2 * (m_texts.size() + size_t(nCount)));
        // First ask for every slot a text may be in, then for the entries
        // those slots name, then for their characters: each round's loads
        // go out together.
        const size_t nMask = m_textIndex.size() - 1;
        for (int i = 0; i < nCount; ++i)
        {
            hashes[i] = TextHash(m_pending[i].strText);
            __builtin_prefetch(&m_textIndex[hashes[i] & nMask]);
        }
        const QString* candidates[PENDING_TEXTS];
        for (int i = 0; i < nCount; ++i)
        {
            const quint64 nValue = m_textIndex[hashes[i] & nMask];
            candidates[i] = nValue != 0 && quint32(nValue >> 32) == hashes[i] ? &m_texts[quint32(nValue) - 1] : nullptr;
            if (candidates[i] != nullptr)
                __builtin_prefetch(candidates[i]);
        }
        for (int i = 0; i < nCount; ++i)
            if (candidates[i] != nullptr)
                __builtin_prefetch(candidates[i]->constData());
    }
    else
        std::fill(hashes, hashes + nCount, 0u);

    // Then each text in the order it was written, as if looked up at once.
    for (int i = 0; i < nCount; ++i)
    {
        PendingText& pending = m_pending[i];
        Slot& slot = m_cells[pending.nCell];
        // A report repeats "1550nm" and "OPM" row after row: the text above
        // is tried before the index.
        ColumnText& last = m_lastTextOfColumn[slot.nKey & 0xFF];
        if (last.nText == NO_TEXT || last.nHash != hashes[i] || !SameText(m_texts[last.nText], pending.strText))
            last = ColumnText{InternText(pending.strText, hashes[i]), hashes[i]};
        slot.nText = last.nText;
        pending.strText = QString();
    }
}

void Worksheet::SetText(int nRow, int nCol, const QString& strText)
{
    Slot* pSlot = Touch(nRow, nCol);
    if (pSlot == nullptr)
        return;
    if (strText.isEmpty())
    {
        pSlot->nText = NO_TEXT;
        return;
    }
    // The slot is either new (nothing waits for it) or was found after the
    // texts waiting were looked up.
    m_pending[m_nPending++] = PendingText{strText, size_t(pSlot - m_cells.data())};
    if (m_nPending == PENDING_TEXTS)
        LookUpPending();
}

void Worksheet::ClearText(int nRow, int nCol)
{
    FlushTexts();
    if (m_bUnsorted)
        FinishAppending();
    const qsizetype i = Search(Key(nRow, nCol));
    if (i >= 0)
        m_cells[size_t(i)].nText = NO_TEXT;
}

QString Worksheet::Text(int nRow, int nCol) const
{
    const QString* pText = FindText(nRow, nCol);
    return pText ? *pText : QString();
}

bool Worksheet::GetCell(int nRow, int nCol, Cell* pCell) const
{
    if (nRow < 0 || nRow >= SHEET_MAX_ROWS || nCol < 0 || nCol >= SHEET_MAX_COLS || m_bUnsorted)
        return false;
    FlushTexts();
    const qsizetype i = Search(Key(nRow, nCol));
    if (i < 0)
        return false;
    if (pCell)
    {
        const Slot& slot = m_cells[size_t(i)];
        pCell->strText = slot.nText == NO_TEXT ? QString() : m_texts[slot.nText];
        pCell->format = CellFormat::Unpack(slot.nFormat);
    }
    return true;
}

bool Worksheet::UsedRows(int& nFirst, int& nLast) const
{
    // A row exists only once a cell was created in it.
    if (m_cells.empty())
        return false;
    nFirst = int(m_cells.front().nKey >> 8);
    nLast = int(m_cells.back().nKey >> 8);
    return true;
}

bool Worksheet::UsedColumns(int& nFirst, int& nLast) const
{
    if (m_cells.empty())
        return false;
    nFirst = m_nFirstCol;
    nLast = m_nLastCol;
    return true;
}

void Worksheet::ClearCells()
{
    m_cells.clear();
    m_texts.clear();
    m_lastTextOfColumn.clear();
    m_textIndex.clear();
    for (int i = 0; i < m_nPending; ++i)
        m_pending[i].strText = QString();
    m_nPending = 0;
    m_bTextsDistinct = true;
    m_nLongestText = 0;
    m_bUnsorted = false;
    m_nHint = 0;
    m_nFirstCol = SHEET_MAX_COLS;
    m_nLastCol = -1;
}

int Worksheet::FinishAppending()
{
    FlushTexts();
    if (!m_bUnsorted)
        return 0;
    m_bUnsorted = false;
    // Stable, so that of two cells at one position the later one wins, as
    // when a file's records are applied one after the other.
    std::stable_sort(m_cells.begin(), m_cells.end(), [](const Slot& a, const Slot& b) { return a.nKey < b.nKey; });
    size_t nOut = 0;
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        if (nOut > 0 && m_cells[nOut - 1].nKey == m_cells[i].nKey)
            m_cells[nOut - 1] = m_cells[i];
        else
            m_cells[nOut++] = m_cells[i];
    }
    const int nRepeats = int(m_cells.size() - nOut);
    m_cells.resize(nOut);
    m_nHint = 0;
    return nRepeats;
}
