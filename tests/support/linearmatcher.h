#ifndef ENWLINK_LINEARMATCHER_H
#define ENWLINK_LINEARMATCHER_H

#include "engine/fulltextmatcher.h"

#include <array>
#include <vector>

// The straightforward matcher: scans the whole list for an exact base name,
// then for one of the record's own names, then for a cut name or a copy of a
// record's name, and then, when
// the threshold is not 0, computes the edit distance file after file until one
// lies within the threshold (leaving out files whose length or byte counts
// alone put them farther apart). The oracle for the indexed matcher.
class LinearFullTextMatcher final : public FullTextMatcher
{
public:
    using ByteCounts = std::array<int, 256>;

    LinearFullTextMatcher(const QFileInfoList &fullTexts, int threshold);
    FullTextMatch find(const QString &title, const QString &firstAuthor = QString(),
                       const QString &doi = QString(), const QString &savedTitle = QString(),
                       const RecordFields &fields = RecordFields()) const override;

private:
    QFileInfoList m_fullTexts;
    QStringList m_names;    // base names, composed
    QStringList m_caseless; // the same, case-folded
    QStringList m_copied;   // those without copy marks
    QStringList m_repeated; // those without any marks
    QList<QByteArray> m_bytes;                    // the names' bytes in the local encoding
    std::vector<ByteCounts> m_counts;             // how often each byte value stands in them
    int m_threshold;
};

#endif
