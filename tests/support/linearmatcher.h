#ifndef ENWLINK_LINEARMATCHER_H
#define ENWLINK_LINEARMATCHER_H

#include "engine/fulltextmatcher.h"

// The straightforward matcher: scans the whole list for an exact base name,
// then, when the threshold is not 0, computes the full edit distance file after
// file until one lies within the threshold, then looks for a download name.
// The oracle for the indexed matcher.
class LinearFullTextMatcher final : public FullTextMatcher
{
public:
    LinearFullTextMatcher(const QFileInfoList &fullTexts, int threshold);
    FullTextMatch find(const QString &title, const QString &firstAuthor = QString()) const override;

private:
    QFileInfoList m_fullTexts;
    int m_threshold;
};

#endif
