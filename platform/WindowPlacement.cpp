#include "WindowPlacement.h"

#include "AfxIds.h"

#include <QStringList>
#include <QWidget>

QString CWindowPlacement::Format() const
{
    return QString::asprintf("%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", flags, showCmd, ptMinPosition.x(),
                             ptMinPosition.y(), ptMaxPosition.x(), ptMaxPosition.y(), left, top,
                             right, bottom);
}

bool CWindowPlacement::Parse(const QString& text, CWindowPlacement& out)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 10)
        return false;
    long long v[10];
    for (int i = 0; i < 10; ++i)
    {
        bool ok = false;
        v[i] = fields[i].trimmed().toLongLong(&ok);
        if (!ok || v[i] > 0xFFFFFFFFLL || v[i] < -0x80000000LL)
            return false;
    }
    if (v[0] < 0 || v[1] < 0)
        return false;
    out.flags = unsigned(v[0]);
    out.showCmd = unsigned(v[1]);
    out.ptMinPosition = QPoint(int(v[2]), int(v[3]));
    out.ptMaxPosition = QPoint(int(v[4]), int(v[5]));
    out.left = int(v[6]);
    out.top = int(v[7]);
    out.right = int(v[8]);
    out.bottom = int(v[9]);
    return true;
}

void CWindowPlacement::SetNormalRect(const QRect& rc)
{
    left = rc.left();
    top = rc.top();
    right = rc.left() + rc.width();
    bottom = rc.top() + rc.height();
}

int ShowCmdOf(const QWidget* widget)
{
    if (!widget->isVisible() && !widget->isMinimized())
        return SW_HIDE;
    if (widget->isMinimized())
        return SW_SHOWMINIMIZED;
    if (widget->isMaximized())
        return SW_SHOWMAXIMIZED;
    return SW_SHOWNORMAL;
}

void ShowWithCmd(QWidget* widget, int nCmdShow)
{
    switch (nCmdShow)
    {
    case SW_HIDE:
        widget->hide();
        break;
    case SW_SHOWMINIMIZED:
    case 6:  // minimise
    case 7:  // minimised, not active
        widget->showMinimized();
        break;
    case SW_SHOWMAXIMIZED:
        widget->showMaximized();
        break;
    case SW_SHOW:
    case 8:  // show, not active
        widget->show();
        break;
    default:
        widget->showNormal();
        break;
    }
}
