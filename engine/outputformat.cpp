#include "engine/outputformat.h"

#include "engine/biboutput.h"
#include "engine/risoutput.h"

OutputFormat outputFormatOf(const QString &outputPath)
{
    if (outputPath.endsWith(QLatin1String(".ris"), Qt::CaseInsensitive))
        return OutputFormat::Ris;
    if (outputPath.endsWith(QLatin1String(".bib"), Qt::CaseInsensitive))
        return OutputFormat::Bib;
    return OutputFormat::Enw;
}

bool outputFormatNamed(const QString &name, OutputFormat *format)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("enw"))
        *format = OutputFormat::Enw;
    else if (lower == QLatin1String("ris"))
        *format = OutputFormat::Ris;
    else if (lower == QLatin1String("bib"))
        *format = OutputFormat::Bib;
    else
        return false;
    return true;
}

QString outputFormatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Ris:
        return QStringLiteral("RIS");
    case OutputFormat::Bib:
        return QStringLiteral("BibTeX");
    case OutputFormat::Enw:
        break;
    }
    return QStringLiteral("Enw");
}

QString RecordConverter::take(QStringView enwText)
{
    QString out;
    int from = 0;
    for (int at = int(enwText.indexOf(QLatin1Char('\n'))); at >= 0;
         at = int(enwText.indexOf(QLatin1Char('\n'), from))) {
        // Every line the writer writes ends in "\r\n"; a lone CR stays in it.
        QStringView line = enwText.mid(from, at - from);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (m_partialLine.isEmpty()) {
            addLine(line, out);
        } else {
            m_partialLine += line;
            addLine(m_partialLine, out);
            m_partialLine.clear();
        }
        from = at + 1;
    }
    m_partialLine += enwText.mid(from);
    return out;
}

QString RecordConverter::finish()
{
    QString out;
    if (!m_partialLine.isEmpty()) {
        addLine(m_partialLine, out);
        m_partialLine.clear();
    }
    endRecord(out);
    return out;
}

void RecordConverter::addLine(QStringView line, QString &out)
{
    // A record runs from its "%0" line to an empty line or the next "%0".
    if (line.isEmpty()) {
        endRecord(out);
        return;
    }
    const bool tagged = line.size() >= 2 && line.at(0) == QLatin1Char('%')
                        && (line.size() == 2 || line.at(2).isSpace());
    if (tagged && line.at(1) == QLatin1Char('0'))
        endRecord(out);
    if (tagged) {
        m_record.append({line.at(1), line.mid(2).trimmed().toString()});
    } else if (!m_record.isEmpty()) {
        // A line of its own in a long abstract or a patent's claims.
        QString &value = m_record.last().value;
        value += QLatin1Char('\n');
        value += line.trimmed();
    }
}

void RecordConverter::endRecord(QString &out)
{
    if (m_record.isEmpty())
        return;
    if (m_format == OutputFormat::Ris)
        appendRisRecord(out, m_record);
    else if (m_format == OutputFormat::Bib)
        appendBibEntry(out, m_record, &m_bibKeys);
    m_record.clear();
}
