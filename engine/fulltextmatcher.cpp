#include "engine/fulltextmatcher.h"

#include "engine/editdistance.h"

#include <algorithm>
#include <cstdlib>

QString fullTextBaseName(const QFileInfo &file)
{
    return file.completeBaseName();
}

namespace {

// Where piece `piece` of a string of `length` bytes starts, and how long it is,
// when the string is cut into `pieces` parts whose lengths differ by at most one.
std::pair<int, int> pieceOf(int length, int piece, int pieces)
{
    const int shortLength = length / pieces;
    const int longPieces = length % pieces;
    const int shortPieces = pieces - longPieces;
    if (piece < shortPieces)
        return {piece * shortLength, shortLength};
    return {shortPieces * shortLength + (piece - shortPieces) * (shortLength + 1),
            shortLength + 1};
}

// FNV-1a over the piece, seeded with the name's length and the piece number.
// Two different pieces may share a key; that only adds a candidate to measure.
std::uint64_t pieceKey(int length, int piece, const char *bytes, int size)
{
    std::uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](std::uint64_t value) {
        hash ^= value;
        hash *= 1099511628211ull;
    };
    mix(std::uint64_t(length));
    mix(std::uint64_t(piece) + 0x9e3779b97f4a7c15ull);
    for (int i = 0; i < size; ++i)
        mix(uchar(bytes[i]));
    return hash;
}

} // namespace

IndexedFullTextMatcher::IndexedFullTextMatcher(const QFileInfoList &fullTexts, int threshold)
    : m_threshold(std::max(0, threshold))
{
    const int count = fullTexts.size();
    m_firstByName.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString name = fullTextBaseName(fullTexts.at(i));
        if (!m_firstByName.contains(name))
            m_firstByName.insert(name, i);
    }
    if (m_threshold == 0)
        return;

    const int pieces = m_threshold + 1;
    m_names.reserve(size_t(count));
    m_pieces.reserve(size_t(count) * size_t(pieces));
    for (int i = 0; i < count; ++i) {
        m_names.push_back(localBytes(fullTextBaseName(fullTexts.at(i))));
        const QByteArray &name = m_names.back();
        if (size_t(name.size()) >= m_lengthTaken.size())
            m_lengthTaken.resize(size_t(name.size()) + 1, false);
        m_lengthTaken[size_t(name.size())] = true;
        if (name.size() < pieces) {
            m_shortNames.push_back(i);
            continue;
        }
        for (int piece = 0; piece < pieces; ++piece) {
            const std::pair<int, int> at = pieceOf(name.size(), piece, pieces);
            m_pieces.emplace_back(pieceKey(name.size(), piece, name.constData() + at.first, at.second), i);
        }
    }
    std::sort(m_pieces.begin(), m_pieces.end());
}

QStringList downloadNames(const QString &title, const QString &firstAuthor)
{
    QStringList names;
    if (firstAuthor.isEmpty())
        return names;
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    QString saved = title; // as a browser saves it
    for (QChar &c : saved) {
        if (forbidden.contains(c))
            c = QLatin1Char('_');
    }
    const QString family = firstAuthor.section(QLatin1Char(','), 0, 0).trimmed();
    for (const QString &author : {firstAuthor, family}) {
        if (author.isEmpty())
            continue;
        for (const QString &start : {title, saved}) {
            const QString name = start + QLatin1Char('_') + author;
            if (!names.contains(name))
                names.append(name);
        }
    }
    return names;
}

FullTextMatch IndexedFullTextMatcher::find(const QString &title, const QString &firstAuthor) const
{
    if (title.isEmpty())
        return {}; // says nothing about any file name
    const auto exact = m_firstByName.constFind(title);
    if (exact != m_firstByName.constEnd())
        return {exact.value(), true};
    if (m_threshold > 0) {
        const int near = nearMatch(localBytes(title));
        if (near >= 0)
            return {near, false};
    }
    int first = -1;
    for (const QString &name : downloadNames(title, firstAuthor)) {
        const auto found = m_firstByName.constFind(name);
        if (found != m_firstByName.constEnd() && (first < 0 || found.value() < first))
            first = found.value();
    }
    return {first, false};
}

int IndexedFullTextMatcher::nearMatch(const QByteArray &title) const
{
    const int k = m_threshold;
    const int pieces = k + 1;
    const int titleLength = title.size();
    const int longest = int(m_lengthTaken.size()) - 1;
    if (titleLength - k > longest)
        return -1; // no name is long enough
    std::vector<int> candidates;

    const int lastLength = std::min(titleLength + k, longest);
    for (int length = std::max(pieces, titleLength - k); length <= lastLength; ++length) {
        if (!m_lengthTaken[size_t(length)])
            continue;
        for (int piece = 0; piece < pieces; ++piece) {
            const std::pair<int, int> at = pieceOf(length, piece, pieces);
            const int first = std::max(0, at.first - k);
            const int last = std::min(titleLength - at.second, at.first + k);
            for (int start = first; start <= last; ++start) {
                const std::uint64_t key = pieceKey(length, piece, title.constData() + start, at.second);
                auto range = std::equal_range(
                    m_pieces.begin(), m_pieces.end(), std::make_pair(key, 0),
                    [](const std::pair<std::uint64_t, int> &a, const std::pair<std::uint64_t, int> &b) {
                        return a.first < b.first;
                    });
                for (auto it = range.first; it != range.second; ++it)
                    candidates.push_back(it->second);
            }
        }
    }
    for (int file : m_shortNames) {
        if (std::abs(m_names[size_t(file)].size() - titleLength) <= k)
            candidates.push_back(file);
    }

    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (int file : candidates) {
        const QByteArray &name = m_names[size_t(file)];
        if (boundedEditDistance(name.constData(), name.size(), title.constData(), titleLength, k) <= k)
            return file;
    }
    return -1;
}
