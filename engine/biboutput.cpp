#include "engine/biboutput.h"

#include "engine/authoryearnames.h"
#include "engine/engineutil.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVector>

#include <utility>

namespace {

bool isThesis(const QString &type)
{
    return type == QLatin1String("phdthesis") || type == QLatin1String("mastersthesis");
}

// The field a one-valued ENW field fills in an entry of `type`, or an
// empty string for fields BibTeX has no name for.
QLatin1String fieldName(ushort tag, const QString &type)
{
    switch (tag) {
    case 'T': return QLatin1String("title");
    case 'J': return QLatin1String(isThesis(type) ? "school" : "journal"); // CNKI names the university there
    case 'B': return QLatin1String("booktitle");
    case 'D': return QLatin1String("year");
    case 'V': return QLatin1String("volume");
    case 'N': return QLatin1String("number");
    case 'P': return QLatin1String("pages");
    case 'R': return QLatin1String("doi");
    case '@': return QLatin1String(type == QLatin1String("book") || type == QLatin1String("incollection") ? "isbn" : "issn");
    case 'I': return QLatin1String(isThesis(type) ? "school" : type == QLatin1String("techreport") ? "institution" : "publisher");
    case 'C': return QLatin1String("address");
    case 'X': return QLatin1String("abstract");
    case 'U': return QLatin1String("url");
    default: return QLatin1String();
    }
}

// The entry's key before it is made unique: family name and year.
QString baseKey(const EnwRecord &record)
{
    QString family;
    int year = 0;
    for (const EnwField &field : record) {
        const QChar tag = upperTag(field);
        if (tag == QLatin1Char('A') && family.isEmpty()) {
            const QStringList authors = splitEntries(field.value);
            if (!authors.isEmpty())
                family = familyNameOf(authors.first());
        } else if (tag == QLatin1Char('D') && year == 0) {
            year = yearIn(field.value);
        }
    }
    QString key;
    for (const QChar c : family) {
        if (c.isLetterOrNumber())
            key += c;
    }
    if (key.isEmpty())
        key = QStringLiteral("Anon");
    if (year > 0)
        key += QString::number(year);
    return key;
}

// "a" to "z", then "aa", "ab", …: the n-th suffix, from 1.
QString keySuffix(int n)
{
    QString suffix;
    for (; n > 0; n = (n - 1) / 26)
        suffix.prepend(QChar(ushort('a' + (n - 1) % 26)));
    return suffix;
}

QString fileFieldEntry(const QString &value)
{
    const QString path = QDir::toNativeSeparators(attachedPathOf(value));
    QString escaped;
    for (const QChar c : path) {
        if (c == QLatin1Char(':') || c == QLatin1Char(';') || c == QLatin1Char('\\') || c == QLatin1Char('{')
            || c == QLatin1Char('}'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char(':') + escaped + QLatin1Char(':') + QFileInfo(path).suffix().toUpper();
}

} // namespace

QString bibType(const EnwRecord &record)
{
    const QString type = record.isEmpty() || record.first().tag != QLatin1Char('0')
                             ? QString()
                             : record.first().value.simplified().toLower();
    if (type == QLatin1String("journal article") || type == QLatin1String("electronic article")
        || type == QLatin1String("magazine article") || type == QLatin1String("newspaper article"))
        return QStringLiteral("article");
    if (type == QLatin1String("book") || type == QLatin1String("edited book"))
        return QStringLiteral("book");
    if (type == QLatin1String("book section"))
        return QStringLiteral("incollection");
    if (type == QLatin1String("conference paper") || type == QLatin1String("conference proceedings"))
        return QStringLiteral("inproceedings");
    if (type == QLatin1String("patent"))
        return QStringLiteral("patent");
    if (type == QLatin1String("report"))
        return QStringLiteral("techreport");
    if (type == QLatin1String("thesis")) {
        for (const EnwField &field : record) {
            if (field.tag == QLatin1Char('9')
                && (field.value.contains(QStringLiteral("硕士")) || field.value.contains(QStringLiteral("碩士"))
                    || field.value.contains(QLatin1String("master"), Qt::CaseInsensitive)))
                return QStringLiteral("mastersthesis");
        }
        return QStringLiteral("phdthesis");
    }
    return QStringLiteral("misc");
}

QString bibValue(const QString &text)
{
    QString value;
    value.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': value += QLatin1String("$\\backslash$"); break;
        case '~': value += QLatin1String("\\~{}"); break;
        case '{':
        case '}':
        case '&':
        case '%':
        case '$':
        case '#':
        case '_':
            value += QLatin1Char('\\');
            value += c;
            break;
        default:
            value += c;
        }
    }
    return value;
}

QString bibEntry(const EnwRecord &record, BibKeys *keys)
{
    const QString type = bibType(record);
    QVector<std::pair<QString, QString>> fields; // name and escaped value, in the record's order
    auto add = [&fields](const QString &name, const QString &value, const QString &joiner) {
        for (auto &field : fields) {
            if (field.first == name) {
                field.second += joiner + value;
                return;
            }
        }
        fields.append({name, value});
    };
    auto has = [&fields](const QString &name) {
        return std::any_of(fields.begin(), fields.end(), [&name](const auto &field) { return field.first == name; });
    };
    const bool typed = !record.isEmpty() && record.first().tag == QLatin1Char('0');
    if (typed && type == QLatin1String("misc"))
        add(QStringLiteral("note"), bibValue(QStringLiteral("%0 ") + record.first().value), QStringLiteral("\n"));
    QStringList files;
    for (int i = typed ? 1 : 0; i < record.size(); ++i) {
        const EnwField &field = record.at(i);
        if (field.value.isEmpty())
            continue;
        const ushort tag = upperTag(field).unicode();
        if (tag == 'A' || tag == 'E') {
            for (const QString &name : splitEntries(field.value)) {
                // A corporate name holding "and" is one name, not two.
                QString value = bibValue(name);
                if (name.contains(QLatin1String(" and "), Qt::CaseInsensitive))
                    value = QLatin1Char('{') + value + QLatin1Char('}');
                add(QLatin1String(tag == 'A' ? "author" : "editor"), value, QStringLiteral(" and "));
            }
        } else if (tag == 'K') {
            for (const QString &keyword : splitEntries(field.value))
                add(QStringLiteral("keywords"), bibValue(keyword), QStringLiteral(", "));
        } else if (tag == '>') {
            files.append(fileFieldEntry(field.value));
        } else if (tag == 'Z') {
            add(QStringLiteral("note"), bibValue(field.value), QStringLiteral("\n"));
        } else {
            const QString name = fieldName(tag, type);
            if (!name.isEmpty() && !has(name)) {
                QString value = bibValue(field.value);
                if (tag == 'P') // a page range takes an en dash
                    value.replace(QRegularExpression(QStringLiteral("(?<=\\d)\\s*-\\s*(?=\\d)")), QStringLiteral("--"));
                add(name, value, QString());
            } else {
                add(QStringLiteral("note"), bibValue(QLatin1Char('%') + field.tag + QLatin1Char(' ') + field.value),
                    QStringLiteral("\n"));
            }
        }
    }
    if (!files.isEmpty())
        fields.append({QStringLiteral("file"), files.join(QLatin1Char(';'))});

    const QString base = baseKey(record);
    QString key = base;
    int &suffix = keys->suffixes[base];
    while (keys->given.contains(key))
        key = base + keySuffix(++suffix);
    keys->given.insert(key);

    QString entry = QLatin1Char('@') + type + QLatin1Char('{') + key;
    for (const auto &field : fields)
        entry += QLatin1String(",\n  ") + field.first + QLatin1String(" = {") + field.second + QLatin1Char('}');
    entry += QLatin1String("\n}\n\n");
    return entry;
}
