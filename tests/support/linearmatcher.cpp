#include "support/linearmatcher.h"

#include "engine/editdistance.h"

LinearFullTextMatcher::LinearFullTextMatcher(const QFileInfoList &fullTexts, int threshold)
    : m_fullTexts(fullTexts), m_threshold(threshold)
{
}

FullTextMatch LinearFullTextMatcher::find(const QString &title) const
{
    for (int i = 0; i < m_fullTexts.size(); ++i) {
        if (fullTextBaseName(m_fullTexts.at(i)).compare(title, Qt::CaseSensitive) == 0)
            return {i, true};
    }
    if (m_threshold == 0)
        return {};
    const std::string titleBytes = localBytes(title).toStdString();
    for (int i = 0; i < m_fullTexts.size(); ++i) {
        const std::string name = localBytes(fullTextBaseName(m_fullTexts.at(i))).toStdString();
        if (editDistance(name, titleBytes) <= m_threshold)
            return {i, false};
    }
    return {};
}
