#include "tool/vanecfg/qt_text.h"

#include <QStringList>

QString qt_file_filter(std::string_view filter) {
    const QStringList parts = to_qt(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file; here names need not have a dot.
        for (QString& pattern : patterns) {
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        // A label that shows its patterns already ("テキストファイル(*.txt)")
        // is taken as it is: the dialog reads them from it.
        const QString shown = QLatin1Char('(') + parts[i + 1] + QLatin1Char(')');
        if (parts[i].endsWith(shown) && patterns.join(QLatin1Char(';')) == parts[i + 1])
            filters << parts[i];
        else
            filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                           QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}
