#include "ThumbnailDelegate.h"

#include "FolderThumbnails.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace
{
constexpr int kMargin = 6; // pixels around the picture and below the text
}

CThumbnailDelegate::CThumbnailDelegate(CFolderThumbnails* pThumbnails, int nMaxLength,
                                       QObject* pParent)
    : CLabelEditDelegate(nMaxLength, QStringLiteral("File name"), pParent),
      m_pThumbnails(pThumbnails)
{
}

QSize CThumbnailDelegate::CellSize(int thumbnailSize, const QFontMetrics& metrics)
{
    return QSize(thumbnailSize + 2 * kMargin, thumbnailSize + 2 * kMargin + metrics.height() + kMargin);
}

QRect CThumbnailDelegate::PictureRect(const QRect& cell) const
{
    const int size = m_pThumbnails->GetSize();
    return QRect(cell.left() + (cell.width() - size) / 2, cell.top() + kMargin, size, size);
}

QRect CThumbnailDelegate::TextRect(const QRect& cell, const QFontMetrics& metrics)
{
    return QRect(cell.left() + 2, cell.bottom() - kMargin - metrics.height() + 1, cell.width() - 4,
                 metrics.height());
}

QSize CThumbnailDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return CellSize(m_pThumbnails->GetSize(), option.fontMetrics);
}

void CThumbnailDelegate::updateEditorGeometry(QWidget* pEditor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const
{
    pEditor->setGeometry(TextRect(option.rect, option.fontMetrics).adjusted(0, -2, 0, 2));
}

void CThumbnailDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The selection and focus look of the style, with neither text nor icon.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    style->drawControl(QStyle::CE_ItemViewItem, &opt, p, widget);

    const bool bCut = index.data(Qt::ForegroundRole).isValid(); // shown dimmed, as in details
    p->save();
    if (bCut)
        p->setOpacity(0.45);
    const QRect area = PictureRect(option.rect);
    const int row = index.row();
    switch (m_pThumbnails->StateOf(row))
    {
    case CFolderThumbnails::kReady:
        if (const QImage* image = m_pThumbnails->ImageOf(row))
        {
            // Centred at the bottom of the square, as file managers place them.
            const QSize s = image->size();
            const QPoint at(area.left() + (area.width() - s.width()) / 2,
                            area.bottom() + 1 - s.height());
            p->drawImage(at, *image);
            break;
        }
        [[fallthrough]];
    case CFolderThumbnails::kWaiting:
    {
        // A quiet frame where the picture will be.
        const QRect frame = area.adjusted(area.width() / 8, area.height() / 8, -area.width() / 8,
                                          -area.height() / 8);
        QColor line = option.palette.color(QPalette::Mid);
        line.setAlpha(120);
        p->setPen(QPen(line, 1, Qt::DashLine));
        p->setBrush(Qt::NoBrush);
        p->drawRoundedRect(frame, 6, 6);
        break;
    }
    case CFolderThumbnails::kBroken:
    {
        const QIcon broken = QIcon::fromTheme(QStringLiteral("image-missing"));
        const QRect mark(area.center() - QPoint(area.width() / 4, area.height() / 4),
                         area.size() / 2);
        if (!broken.isNull())
            broken.paint(p, mark);
        else
        {
            p->setPen(QPen(option.palette.color(QPalette::Mid), 3));
            p->drawRect(mark);
            p->drawLine(mark.topLeft(), mark.bottomRight());
            p->drawLine(mark.topRight(), mark.bottomLeft());
        }
        break;
    }
    default:
    {
        // Folders and other files: their type icon, half the picture's size.
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        const QRect place(area.center() - QPoint(area.width() / 4, area.height() / 4),
                          area.size() / 2);
        icon.paint(p, place);
        break;
    }
    }
    const QRect text = TextRect(option.rect, option.fontMetrics);
    const bool bSelected = option.state & QStyle::State_Selected;
    p->setPen(option.palette.color(bSelected ? QPalette::HighlightedText : QPalette::Text));
    p->drawText(text, Qt::AlignHCenter | Qt::AlignVCenter,
                option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                              Qt::ElideMiddle, text.width()));
    p->restore();
}
