#include "engine/editdistance.h"

#include "engine/engineutil.h"

#include <QTextCodec>

#include <algorithm>
#include <cstdlib>
#include <vector>

int editDistance(std::string first, std::string second)
{
    // Let the shorter string run along the columns: two rows of it suffice.
    if (first.size() < second.size())
        std::swap(first, second);
    const size_t columns = second.size();
    std::vector<int> previous(columns + 1);
    std::vector<int> current(columns + 1);
    for (size_t j = 0; j <= columns; ++j)
        previous[j] = int(j);
    for (size_t i = 1; i <= first.size(); ++i) {
        current[0] = int(i);
        for (size_t j = 1; j <= columns; ++j) {
            const int cost = first[i - 1] == second[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
        }
        previous.swap(current);
    }
    return previous[columns];
}

int boundedEditDistance(const char *first, int firstLength,
                        const char *second, int secondLength, int limit)
{
    const int beyond = limit + 1;
    if (limit < 0)
        return 0;
    if (std::abs(firstLength - secondLength) > limit)
        return beyond;

    // Cells outside the band lie farther than `limit` from the diagonal, so
    // their distance exceeds the limit; every value is capped at `beyond`.
    thread_local std::vector<int> rows;
    const size_t width = size_t(secondLength) + 2;
    if (rows.size() < 2 * width)
        rows.resize(2 * width);
    int *previous = rows.data();
    int *current = rows.data() + width;

    const int firstBand = std::min(secondLength, limit);
    for (int j = 0; j <= firstBand; ++j)
        previous[j] = j;
    previous[firstBand + 1] = beyond;

    for (int i = 1; i <= firstLength; ++i) {
        const int low = std::max(1, i - limit);
        const int high = std::min(secondLength, i + limit);
        current[low - 1] = low == 1 ? std::min(i, beyond) : beyond;
        int rowMinimum = current[low - 1];
        const char byte = first[i - 1];
        for (int j = low; j <= high; ++j) {
            int value = previous[j - 1] + (byte == second[j - 1] ? 0 : 1);
            value = std::min(value, previous[j] + 1);
            value = std::min(value, current[j - 1] + 1);
            value = std::min(value, beyond);
            current[j] = value;
            rowMinimum = std::min(rowMinimum, value);
        }
        current[high + 1] = beyond;
        if (rowMinimum > limit)
            return beyond;
        std::swap(previous, current);
    }
    return std::min(previous[secondLength], beyond);
}

void BitParallelDistance::assign(const char *first, int firstLength)
{
    m_length = firstLength;
    m_words = (firstLength + 63) / 64;
    m_masks.assign(256 * size_t(m_words), 0);
    for (int i = 0; i < firstLength; ++i)
        m_masks[size_t(uchar(first[i])) * size_t(m_words) + size_t(i / 64)] |= std::uint64_t(1) << (i % 64);
    m_plus.resize(size_t(m_words));
    m_minus.resize(size_t(m_words));
}

int BitParallelDistance::bounded(const char *second, int secondLength, int limit) const
{
    const int beyond = limit + 1;
    if (limit < 0)
        return 0;
    if (std::abs(m_length - secondLength) > limit)
        return beyond;
    if (m_length == 0)
        return secondLength;

    // The column of the table for the prefix of `second` read so far, as the
    // differences between neighbouring rows; `score` is its last row.
    std::fill(m_plus.begin(), m_plus.end(), ~std::uint64_t(0));
    std::fill(m_minus.begin(), m_minus.end(), 0);
    const int words = m_words;
    const std::uint64_t last = std::uint64_t(1) << ((m_length - 1) % 64);
    int score = m_length;
    for (int j = 0; j < secondLength; ++j) {
        const std::uint64_t *equal = &m_masks[size_t(uchar(second[j])) * size_t(words)];
        int carry = 1; // the step along the row above each word: +1 on the top row
        for (int w = 0; w < words; ++w) {
            std::uint64_t eq = equal[w];
            const std::uint64_t pv = m_plus[size_t(w)];
            const std::uint64_t mv = m_minus[size_t(w)];
            const std::uint64_t xv = eq | mv;
            if (carry < 0)
                eq |= 1;
            const std::uint64_t xh = (((eq & pv) + pv) ^ pv) | eq;
            std::uint64_t ph = mv | ~(xh | pv);
            std::uint64_t mh = pv & xh;
            const std::uint64_t top = w == words - 1 ? last : std::uint64_t(1) << 63;
            const int out = (ph & top) ? 1 : (mh & top) ? -1 : 0;
            ph <<= 1;
            mh <<= 1;
            if (carry < 0)
                mh |= 1;
            else if (carry > 0)
                ph |= 1;
            m_plus[size_t(w)] = mh | ~(xv | ph);
            m_minus[size_t(w)] = ph & xv;
            carry = out;
        }
        score += carry;
        // Every byte left can lower the last row by one at most.
        if (score - (secondLength - j - 1) > limit)
            return beyond;
    }
    return std::min(score, beyond);
}

QByteArray localBytes(const QString &text)
{
    if (isAscii(text))
        return text.toLatin1();

    QTextCodec *codec = QTextCodec::codecForLocale();
    QByteArray bytes = codec->fromUnicode(text);
    if (codec->toUnicode(bytes) == text)
        return bytes;

    // Some characters have no spelling in the local encoding. The codec would
    // make each of them "?", so that any two such titles of like length look
    // close; they are compared by their UTF-8 bytes instead.
    bytes.clear();
    for (int at = 0; at < text.size();) {
        const int length = text.at(at).isHighSurrogate() && at + 1 < text.size()
                                   && text.at(at + 1).isLowSurrogate() ? 2 : 1;
        const QString character = text.mid(at, length);
        const QByteArray local = codec->fromUnicode(character);
        bytes += codec->toUnicode(local) == character ? local : character.toUtf8();
        at += length;
    }
    return bytes;
}
