#include "engine/linkclaims.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// The cut files that fit the titles of two or more records, with their number.
QVector<QPair<int, int>> cutsOfSeveralTitles(const std::vector<TitleLink> &links)
{
    QHash<int, QSet<int>> titles; // by the cut file each title's cuts name
    for (const TitleLink &link : links) {
        if (link.match.cutFile >= 0)
            titles[link.match.cutFile].insert(link.title);
    }
    QVector<QPair<int, int>> several;
    for (auto it = titles.constBegin(); it != titles.constEnd(); ++it) {
        if (it.value().size() >= 2)
            several.append({it.key(), it.value().size()});
    }
    std::sort(several.begin(), several.end());
    return several;
}

// How many records each title (numbered from 0) stands in: links come in
// line order, so a record's links come together.
std::vector<int> recordsPerTitle(const std::vector<TitleLink> &links)
{
    std::vector<int> records;
    std::vector<int> lastRecord;
    for (const TitleLink &link : links) {
        if (size_t(link.title) >= records.size()) {
            records.resize(size_t(link.title) + 1, 0);
            lastRecord.resize(size_t(link.title) + 1, -1);
        }
        if (lastRecord[size_t(link.title)] != link.record) {
            lastRecord[size_t(link.title)] = link.record;
            ++records[size_t(link.title)];
        }
    }
    return records;
}

} // namespace

void settleClaims(std::vector<TitleLink> &links, int fullTexts, const AskAgain &askAgain,
                  QVector<QPair<int, int>> *ambiguousCuts)
{
    const size_t files = size_t(fullTexts);
    // 1. Cuts that fit several titles: none of them links by the cut.
    std::vector<bool> ambiguous(files, false);
    const QVector<QPair<int, int>> several = cutsOfSeveralTitles(links);
    for (const auto &cut : several)
        ambiguous[size_t(cut.first)] = true;
    if (ambiguousCuts)
        *ambiguousCuts = several;
    for (TitleLink &link : links) {
        if (link.match.cut && ambiguous[size_t(link.match.index)])
            link.match = askAgain(link, ambiguous);
    }

    // 2. A title several records share: each takes its own download name
    //    over the bare title.
    const std::vector<int> records = recordsPerTitle(links);
    for (TitleLink &link : links) {
        if (link.match.strength != NameStrength::Exact || records[size_t(link.title)] < 2)
            continue;
        std::vector<bool> bare = ambiguous;
        bare[size_t(link.match.index)] = true;
        const FullTextMatch own = askAgain(link, bare);
        if (own.strength == NameStrength::Own && own.tied)
            link.match = own;
    }

    // 3. A file claimed by a stronger rule goes to that claim's title alone.
    //    Asking again may take a file a weaker claim held: a few rounds settle it.
    for (int round = 0; round < 4; ++round) {
        std::vector<NameStrength> strongest(files, NameStrength::None);
        std::vector<int> owner(files, -1); // the title of the strongest claim, -2 for several
        for (const TitleLink &link : links) {
            const int file = link.match.index;
            if (file < 0)
                continue;
            NameStrength &best = strongest[size_t(file)];
            if (link.match.strength > best) {
                best = link.match.strength;
                owner[size_t(file)] = link.title;
            } else if (link.match.strength == best && owner[size_t(file)] != link.title) {
                owner[size_t(file)] = -2;
            }
        }
        std::vector<TitleLink *> lost;
        for (TitleLink &link : links) {
            const int file = link.match.index;
            if (file >= 0 && link.match.strength < strongest[size_t(file)] && owner[size_t(file)] != link.title)
                lost.push_back(&link);
        }
        if (lost.empty())
            return;
        // Passed over when asking again: what any name rule claims, and the
        // ambiguous cuts; open to a title: what its own records claim.
        std::vector<bool> claimed = ambiguous;
        QHash<int, QVector<int>> filesOf; // by title
        for (size_t file = 0; file < files; ++file) {
            if (strongest[file] > NameStrength::Near) {
                claimed[file] = true;
                if (owner[file] >= 0)
                    filesOf[owner[file]].append(int(file));
            }
        }
        for (TitleLink *link : lost) {
            const QVector<int> own = filesOf.value(link->title);
            for (const int file : own)
                claimed[size_t(file)] = false;
            link->match = askAgain(*link, claimed);
            for (const int file : own)
                claimed[size_t(file)] = true;
        }
    }
}
