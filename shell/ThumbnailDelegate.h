#pragma once
#include "LabelEditDelegate.h"

class CFolderThumbnails;

/// Draws a cell of the thumbnail look: the thumbnail (or a placeholder while
/// it is made, a broken picture, or the entry's type icon) over the view's
/// background, the name under it, elided; selected and cut entries as the
/// details look shows them. F2 edits the name in the name's place.
class CThumbnailDelegate : public CLabelEditDelegate
{
public:
    CThumbnailDelegate(CFolderThumbnails* pThumbnails, int nMaxLength, QObject* pParent);

    /// The cell of a size: the square picture area and one line of text.
    static QSize CellSize(int thumbnailSize, const QFontMetrics& metrics);

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* pEditor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    /// The picture area and the text line inside a cell.
    QRect PictureRect(const QRect& cell) const;
    static QRect TextRect(const QRect& cell, const QFontMetrics& metrics);

    CFolderThumbnails* m_pThumbnails;
};
