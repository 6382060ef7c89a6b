#include "engine/risoutput.h"

#include <QDir>
#include <QUrl>

namespace {

// One "XX  - value" line; breaks inside the value become blanks, since a
// RIS field is one line.
void putLine(QString &out, QLatin1String tag, const QString &value)
{
    out += tag;
    out += QLatin1String("  - ");
    const int from = out.size();
    out += value;
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
        for (int at = from; at < out.size(); ++at) {
            if (out.at(at) == QLatin1Char('\n') || out.at(at) == QLatin1Char('\r'))
                out[at] = QLatin1Char(' ');
        }
    }
    out += QLatin1String("\r\n");
}

} // namespace

QString risType(const QString &enwType)
{
    static const std::pair<QLatin1String, QLatin1String> types[] = {
        {QLatin1String("Journal Article"), QLatin1String("JOUR")},
        {QLatin1String("Book"), QLatin1String("BOOK")},
        {QLatin1String("Edited Book"), QLatin1String("EDBOOK")},
        {QLatin1String("Book Section"), QLatin1String("CHAP")},
        {QLatin1String("Thesis"), QLatin1String("THES")},
        {QLatin1String("Conference Paper"), QLatin1String("CPAPER")},
        {QLatin1String("Conference Proceedings"), QLatin1String("CONF")},
        {QLatin1String("Patent"), QLatin1String("PAT")},
        {QLatin1String("Newspaper Article"), QLatin1String("NEWS")},
        {QLatin1String("Magazine Article"), QLatin1String("MGZN")},
        {QLatin1String("Report"), QLatin1String("RPRT")},
        {QLatin1String("Standard"), QLatin1String("STAND")},
        {QLatin1String("Electronic Article"), QLatin1String("EJOUR")},
        {QLatin1String("Unpublished Work"), QLatin1String("UNPB")},
    };
    const QStringView type = QStringView(enwType).trimmed();
    for (const auto &entry : types) {
        if (type.size() == entry.first.size() && type.compare(entry.first, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return QStringLiteral("GEN");
}

QString risFilePath(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (!native.contains(QLatin1Char('&')) && !native.contains(QLatin1Char('<')) && !native.contains(QLatin1Char('>')))
        return native;
    if (QDir::isRelativePath(path))
        return native;
    // Percent-encoded, the URL holds none of them; ":" stays for a drive.
    QString slashed = QDir::fromNativeSeparators(path);
    if (!slashed.startsWith(QLatin1Char('/')))
        slashed.prepend(QLatin1Char('/'));
    return QStringLiteral("file://") + QString::fromLatin1(QUrl::toPercentEncoding(slashed, "/:"));
}

void appendRisRecord(QString &out, const EnwRecord &record)
{
    if (record.isEmpty())
        return;
    // The type comes first: a record that does not start with "%0" is GEN.
    const bool typed = record.first().tag == QLatin1Char('0');
    const QString type = typed ? risType(record.first().value) : QStringLiteral("GEN");
    putLine(out, QLatin1String("TY"), type);
    QString notes; // the N1 lines, which go last but for the files
    QString files;
    if (typed && type == QLatin1String("GEN") && record.first().value.compare(QLatin1String("Generic"), Qt::CaseInsensitive) != 0)
        putLine(notes, QLatin1String("N1"), QStringLiteral("%0 ") + record.first().value);
    QString taken; // the tags of one-valued fields already written
    auto once = [&taken](QChar tag) {
        if (taken.contains(tag))
            return false;
        taken += tag;
        return true;
    };
    for (int i = typed ? 1 : 0; i < record.size(); ++i) {
        const EnwField &field = record.at(i);
        const QString &value = field.value;
        if (value.isEmpty())
            continue;
        const QChar tag = upperTag(field);
        const ushort letter = tag.unicode();
        QLatin1String one; // a one-valued field's RIS tag
        switch (letter) {
        case 'A':
        case 'E':
            for (const QString &name : splitEntries(value))
                putLine(out, QLatin1String(letter == 'A' ? "AU" : "ED"), name);
            continue;
        case 'K':
            for (const QString &keyword : splitEntries(value))
                putLine(out, QLatin1String("KW"), keyword);
            continue;
        case 'U':
            putLine(out, QLatin1String("UR"), value);
            continue;
        case 'Z':
            putLine(notes, QLatin1String("N1"), value);
            continue;
        case '>':
            putLine(files, QLatin1String("L1"), risFilePath(attachedPathOf(value)));
            continue;
        case 'P':
            if (once(tag)) {
                // "269-273" gives the first and the last page.
                const int dash = value.indexOf(QLatin1Char('-'));
                putLine(out, QLatin1String("SP"), dash > 0 ? value.left(dash).trimmed() : value);
                if (dash > 0 && dash + 1 < value.size())
                    putLine(out, QLatin1String("EP"), value.mid(dash + 1).trimmed());
                continue;
            }
            break;
        case 'T': one = QLatin1String("TI"); break;
        case 'J':
        case 'B': one = QLatin1String("T2"); break;
        case 'D': one = QLatin1String("PY"); break;
        case 'V': one = QLatin1String("VL"); break;
        case 'N': one = QLatin1String("IS"); break;
        case 'R': one = QLatin1String("DO"); break;
        case '@': one = QLatin1String("SN"); break;
        case 'I': one = QLatin1String("PB"); break;
        case 'C': one = QLatin1String("CY"); break;
        case 'X': one = QLatin1String("AB"); break;
        default: break;
        }
        // "%J" and "%B" share T2: the second of them is a note.
        const QChar slot = letter == 'B' ? QLatin1Char('J') : tag;
        if (one.size() > 0 && once(slot))
            putLine(out, one, value);
        else
            putLine(notes, QLatin1String("N1"), QLatin1Char('%') + field.tag + QLatin1Char(' ') + value);
    }
    out += notes;
    out += files;
    out += QLatin1String("ER  - \r\n\r\n");
}
