#include "TreeItemPath.h"

#include <QTreeWidgetItem>

QString TreeItemPath(const QTreeWidgetItem* pItem)
{
    if (!pItem)
        return QString();
    QString path = pItem->text(0);
    for (const QTreeWidgetItem* p = pItem->parent(); p; p = p->parent())
    {
        QString text = p->text(0);
        if (!text.endsWith(QLatin1Char('/')))
            text += QLatin1Char('/');
        path.prepend(text);
    }
    return path;
}
