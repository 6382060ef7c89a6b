#include "engine/publishernames.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// A suffix short or numeric alone ("1234", "a12") is too likely another
// paper's file name: it counts only within the whole DOI.
bool distinctive(const QString &part)
{
    return part.size() >= 6
           && !std::all_of(part.begin(), part.end(), [](QChar c) { return c.isDigit(); });
}

void addVersions(QStringList &names, const QString &id, const QString &after = QString())
{
    for (int version = 1; version <= 9; ++version)
        names.append(id + QLatin1Char('v') + QString::number(version) + after);
}

void addArxiv(QStringList &names, const QString &id)
{
    names.append(id);
    addVersions(names, id);
}

void addSsrn(QStringList &names, const QString &id)
{
    names.append(QStringLiteral("ssrn-") + id);
    names.append(QStringLiteral("SSRN-id") + id);
}

} // namespace

bool mayNameFile(QStringView url)
{
    const qsizetype scheme = url.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return false;
    const qsizetype path = url.indexOf(QLatin1Char('/'), scheme + 3);
    const QStringView host = url.mid(scheme + 3, (path < 0 ? url.size() : path) - scheme - 3);
    return host.endsWith(QLatin1String("arxiv.org"), Qt::CaseInsensitive)
           || host.endsWith(QLatin1String("sciencedirect.com"), Qt::CaseInsensitive)
           || host.endsWith(QLatin1String("ssrn.com"), Qt::CaseInsensitive);
}

QStringList publisherFileNames(const QString &doi, const QStringList &urls)
{
    QStringList names;
    if (doi.isEmpty() && urls.isEmpty())
        return names;
    const int slash = doi.indexOf(QLatin1Char('/'));
    if (doi.startsWith(QLatin1String("10.")) && slash > 3) {
        const QString prefix = doi.left(slash);
        const QString suffix = doi.mid(slash + 1);
        if (distinctive(suffix) && !suffix.contains(QLatin1Char('/')))
            names.append(suffix);
        const QString last = suffix.section(QLatin1Char('/'), -1);
        if (last != suffix && distinctive(last))
            names.append(last);
        if (prefix == QLatin1String("10.1101") && distinctive(suffix))
            addVersions(names, suffix, QStringLiteral(".full"));
        if (prefix == QLatin1String("10.48550") && suffix.startsWith(QLatin1String("arXiv."), Qt::CaseInsensitive))
            addArxiv(names, suffix.mid(6));
        if (prefix == QLatin1String("10.1016") && suffix.startsWith(QLatin1Char('S'), Qt::CaseInsensitive)) {
            QString pii = suffix;
            pii.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
            if (pii.size() == 17)
                names.append(QStringLiteral("1-s2.0-") + pii.toUpper() + QStringLiteral("-main"));
        }
        if (prefix == QLatin1String("10.2139") && suffix.startsWith(QLatin1String("ssrn."), Qt::CaseInsensitive))
            addSsrn(names, suffix.mid(5));
    }
    static const QRegularExpression arxiv(
        QStringLiteral("^https?://(?:www\\.|export\\.)?arxiv\\.org/(?:abs|pdf)/([0-9]{4}\\.[0-9]{4,5}|[a-z-]+(?:\\.[A-Z]{2})?/[0-9]{7})(?:v[0-9]+)?(?:\\.pdf)?$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression pii(QStringLiteral("^https?://(?:www\\.)?sciencedirect\\.com/science/article/(?:abs/)?pii/([SB0-9][0-9X]{16})"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ssrn(QStringLiteral("^https?://(?:papers\\.)?ssrn\\.com/.*abstract(?:_id)?=([0-9]{4,})"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const QString &url : urls) {
        if (!mayNameFile(url))
            continue;
        QRegularExpressionMatch match = arxiv.match(url);
        if (match.hasMatch() && !match.captured(1).contains(QLatin1Char('/'))) // old ids hold a "/"
            addArxiv(names, match.captured(1));
        match = pii.match(url);
        if (match.hasMatch())
            names.append(QStringLiteral("1-s2.0-") + match.captured(1).toUpper() + QStringLiteral("-main"));
        match = ssrn.match(url);
        if (match.hasMatch())
            addSsrn(names, match.captured(1));
    }
    names.removeDuplicates();
    return names;
}
