#ifndef ENWLINK_ENWRECORD_H
#define ENWLINK_ENWRECORD_H

#include <QString>
#include <QStringList>
#include <QVector>

// One field of an ENW record: the character after "%" and the text after
// the tag, trimmed; lines without a tag of their own are joined to the
// field before them with "\n".
struct EnwField
{
    QChar tag;
    QString value;
};
using EnwRecord = QVector<EnwField>;

// The field's tag as a capital letter where it is a letter.
inline QChar upperTag(const EnwField &field)
{
    return field.tag.toUpper();
}

// Author and keyword lines of CNKI hold several entries, joined by ";" or
// "；": the entries, trimmed, without empty ones.
QStringList splitEntries(const QString &value);

// The path a "%>" line names: a file:// URL (EndNote, Zotero) as its local path.
QString attachedPathOf(const QString &value);

#endif
