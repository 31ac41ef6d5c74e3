#include "gui/uCommandHelpers.h"

#include "gui/uErrorBox.h"

#include <exception>

QString DialogFilter(const QString& AFilter, const QStringList& AExtra) {
    const QStringList lParts = AFilter.split(QLatin1Char('|'));
    QStringList lFilters;
    for (qsizetype i = 0; i + 1 < lParts.size(); i += 2) {
        QString lText = lParts.at(i).trimmed();
        if (lText.endsWith(QLatin1Char(')'))) {
            const qsizetype lOpen = lText.lastIndexOf(QLatin1Char('('));
            if (lOpen > 0)
                lText = lText.left(lOpen).trimmed();
        }
        QStringList lPatterns = lParts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : lPatterns)
            p = p.trimmed();
        if (i == 0)
            for (const QString& p : AExtra)
                if (!lPatterns.contains(p))
                    lPatterns << p;
        lFilters << QStringLiteral("%1 (%2)").arg(lText, lPatterns.join(QLatin1Char(' ')));
    }
    return lFilters.join(QStringLiteral(";;"));
}

void Guarded(QWidget* AOwner, const std::function<void()>& ACommand) {
    try {
        ACommand();
    } catch (const std::exception& e) {
        ShowException(AOwner, e);
    }
}
