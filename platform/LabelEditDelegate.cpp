#include "LabelEditDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>

CLabelEditDelegate::CLabelEditDelegate(int nMaxLength, const QString& accessibleName,
                                       QObject* pParent)
    : QStyledItemDelegate(pParent), m_nMaxLength(nMaxLength), m_strAccessibleName(accessibleName)
{
}

QWidget* CLabelEditDelegate::createEditor(QWidget* pParent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const
{
    QWidget* pEditor = QStyledItemDelegate::createEditor(pParent, option, index);
    if (auto* pLine = qobject_cast<QLineEdit*>(pEditor))
    {
        pLine->setMaxLength(m_nMaxLength);
        pLine->setAccessibleName(m_strAccessibleName);
        pLine->installEventFilter(const_cast<CLabelEditDelegate*>(this));
    }
    return pEditor;
}

bool CLabelEditDelegate::eventFilter(QObject* pObject, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::ShortcutOverride)
    {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        const int key = pKey->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
            key == Qt::Key_Delete || (pKey->modifiers() & Qt::ControlModifier))
        {
            pEvent->accept();
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(pObject, pEvent);
}
