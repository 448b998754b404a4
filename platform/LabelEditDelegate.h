#pragma once
#include <QStyledItemDelegate>

/// The label edit box of a tree: limited in length, named for screen readers,
/// and the keys that edit text (Enter, Escape, Delete, Ctrl+…) reach it before
/// the program's shortcuts.
class CLabelEditDelegate : public QStyledItemDelegate
{
public:
    CLabelEditDelegate(int nMaxLength, const QString& accessibleName, QObject* pParent);

    QWidget* createEditor(QWidget* pParent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    int m_nMaxLength;
    QString m_strAccessibleName;
};
