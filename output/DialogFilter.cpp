#include "output/DialogFilter.h"

QStringList FilterToNameFilters(const std::string& filter)
{
    QStringList result;
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        const QString list = patterns.join(u' ');
        // QFileDialog reads the patterns from the last parenthesised group:
        // a description that already ends with exactly them stays as it is,
        // any other ("PDF (.pdf)") gets them appended.
        if (description.endsWith(u'(' + list + u')'))
            result << description;
        else
            result << (description.isEmpty() ? list : description) + QStringLiteral(" (") + list + u')';
    }
    return result;
}
