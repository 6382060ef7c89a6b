#include "engine/biboutput.h"

#include "engine/authoryearnames.h"
#include "engine/engineutil.h"

#include <QDir>
#include <QRegularExpression>
#include <QVector>

#include <algorithm>
#include <utility>

namespace {

bool isThesis(QLatin1String type)
{
    return type == QLatin1String("phdthesis") || type == QLatin1String("mastersthesis");
}

// The field a one-valued ENW field fills in an entry of `type`, or an
// empty string for fields BibTeX has no name for.
QLatin1String fieldName(ushort tag, QLatin1String type)
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

// Whether a name holds the word "and" (in any letter case) between blanks.
bool holdsAnd(const QString &name)
{
    for (int at = 0; at + 4 < name.size(); ++at) {
        if (name.at(at) == QLatin1Char(' ') && name.at(at + 4) == QLatin1Char(' ')
            && QStringView(name).mid(at + 1, 3).compare(QLatin1String("and"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// One file of the "file" field, JabRef's way: ":path:PDF".
void appendFileEntry(QString &field, const QString &value)
{
    const QString path = QDir::toNativeSeparators(attachedPathOf(value));
    if (!field.isEmpty())
        field += QLatin1Char(';');
    field += QLatin1Char(':');
    const auto special = [](QChar c) {
        const ushort u = c.unicode();
        return u == ':' || u == ';' || u == '\\' || u == '{' || u == '}';
    };
    if (std::none_of(path.begin(), path.end(), special)) {
        field += path;
    } else {
        for (const QChar c : path) {
            if (special(c))
                field += QLatin1Char('\\');
            field += c;
        }
    }
    field += QLatin1Char(':');
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > path.lastIndexOf(QDir::separator()))
        field += path.midRef(dot + 1).toString().toUpper();
}

} // namespace

QLatin1String bibType(const EnwRecord &record)
{
    const QStringView type = record.isEmpty() || record.first().tag != QLatin1Char('0')
                                 ? QStringView()
                                 : QStringView(record.first().value);
    auto is = [type](const char *name) {
        const QLatin1String wanted(name);
        return type.size() == wanted.size() && type.compare(wanted, Qt::CaseInsensitive) == 0;
    };
    if (is("Journal Article") || is("Electronic Article") || is("Magazine Article") || is("Newspaper Article"))
        return QLatin1String("article");
    if (is("Book") || is("Edited Book"))
        return QLatin1String("book");
    if (is("Book Section"))
        return QLatin1String("incollection");
    if (is("Conference Paper") || is("Conference Proceedings"))
        return QLatin1String("inproceedings");
    if (is("Patent"))
        return QLatin1String("patent");
    if (is("Report"))
        return QLatin1String("techreport");
    if (is("Thesis")) {
        for (const EnwField &field : record) {
            if (field.tag == QLatin1Char('9')
                && (field.value.contains(QStringLiteral("硕士")) || field.value.contains(QStringLiteral("碩士"))
                    || field.value.contains(QLatin1String("master"), Qt::CaseInsensitive)))
                return QLatin1String("mastersthesis");
        }
        return QLatin1String("phdthesis");
    }
    return QLatin1String("misc");
}

QString bibValue(const QString &text)
{
    // Every special character is one of "#$%&\\_{}~".
    const auto special = [](QChar c) {
        const ushort u = c.unicode();
        return u >= '#' && u <= '~' && (u <= '&' || u == '\\' || u == '_' || u == '{' || u == '}' || u == '~');
    };
    if (std::none_of(text.begin(), text.end(), special))
        return text;
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

void appendBibEntry(QString &out, const EnwRecord &record, BibKeys *keys)
{
    const QLatin1String type = bibType(record);
    QVector<std::pair<QLatin1String, QString>> fields; // name and escaped value, in the record's order
    fields.reserve(record.size() + 1);
    auto add = [&fields](QLatin1String name, const QString &value, QLatin1String joiner) {
        for (auto &field : fields) {
            if (field.first == name) {
                field.second += joiner;
                field.second += value;
                return;
            }
        }
        fields.append({name, value});
    };
    auto has = [&fields](QLatin1String name) {
        return std::any_of(fields.begin(), fields.end(), [&name](const auto &field) { return field.first == name; });
    };
    const bool typed = !record.isEmpty() && record.first().tag == QLatin1Char('0');
    if (typed && type == QLatin1String("misc"))
        add(QLatin1String("note"), bibValue(QStringLiteral("%0 ") + record.first().value), QLatin1String("\n"));
    QString files;
    for (int i = typed ? 1 : 0; i < record.size(); ++i) {
        const EnwField &field = record.at(i);
        if (field.value.isEmpty())
            continue;
        const ushort tag = upperTag(field).unicode();
        if (tag == 'A' || tag == 'E') {
            for (const QString &name : splitEntries(field.value)) {
                // A corporate name holding "and" is one name, not two.
                QString value = bibValue(name);
                if (holdsAnd(name))
                    value = QLatin1Char('{') + value + QLatin1Char('}');
                add(QLatin1String(tag == 'A' ? "author" : "editor"), value, QLatin1String(" and "));
            }
        } else if (tag == 'K') {
            for (const QString &keyword : splitEntries(field.value))
                add(QLatin1String("keywords"), bibValue(keyword), QLatin1String(", "));
        } else if (tag == '>') {
            appendFileEntry(files, field.value);
        } else if (tag == 'Z') {
            add(QLatin1String("note"), bibValue(field.value), QLatin1String("\n"));
        } else {
            const QLatin1String name = fieldName(tag, type);
            if (!name.isEmpty() && !has(name)) {
                QString value = bibValue(field.value);
                static const QRegularExpression range(QStringLiteral("(?<=\\d)\\s*-\\s*(?=\\d)"));
                if (tag == 'P') // a page range takes an en dash
                    value.replace(range, QStringLiteral("--"));
                add(name, value, QLatin1String());
            } else {
                add(QLatin1String("note"), bibValue(QLatin1Char('%') + field.tag + QLatin1Char(' ') + field.value),
                    QLatin1String("\n"));
            }
        }
    }
    if (!files.isEmpty())
        fields.append({QLatin1String("file"), files});

    const QString base = baseKey(record);
    QString key = base;
    int &suffix = keys->suffixes[base];
    while (keys->given.contains(key))
        key = base + keySuffix(++suffix);
    keys->given.insert(key);

    out += QLatin1Char('@');
    out += type;
    out += QLatin1Char('{');
    out += key;
    for (const auto &field : fields) {
        out += QLatin1String(",\n  ");
        out += field.first;
        out += QLatin1String(" = {");
        out += field.second;
        out += QLatin1Char('}');
    }
    out += QLatin1String("\n}\n\n");
}
