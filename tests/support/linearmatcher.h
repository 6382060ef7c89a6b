#ifndef ENWLINK_LINEARMATCHER_H
#define ENWLINK_LINEARMATCHER_H

#include "engine/fulltextmatcher.h"

#include <array>
#include <vector>

// The straightforward matcher: scans the whole list for an exact base name,
// then for a download name, then for a folded, cut or DOI name, and then, when
// the threshold is not 0, computes the edit distance file after file until one
// lies within the threshold (leaving out files whose length or byte counts
// alone put them farther apart). The oracle for the indexed matcher.
class LinearFullTextMatcher final : public FullTextMatcher
{
public:
    using ByteCounts = std::array<int, 256>;

    LinearFullTextMatcher(const QFileInfoList &fullTexts, int threshold);
    FullTextMatch find(const QString &title, const QString &firstAuthor = QString(),
                       const QString &doi = QString()) const override;

private:
    QFileInfoList m_fullTexts;
    QStringList m_names;    // base names, composed
    QStringList m_stripped; // the same without copy marks
    QStringList m_folded;   // those, folded
    QList<QList<QPair<QString, QString>>> m_cuts; // folded head and tail at each cut mark
    QList<QByteArray> m_bytes;                    // the names' bytes in the local encoding
    std::vector<ByteCounts> m_counts;             // how often each byte value stands in them
    int m_threshold;
};

#endif
