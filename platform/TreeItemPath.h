#pragma once
#include <QString>

class QTreeWidgetItem;

/// The texts of the item and its ancestors joined by "/", from the top-level
/// item down (a text that already ends in "/", as "/" itself, adds none).
QString TreeItemPath(const QTreeWidgetItem* pItem);
