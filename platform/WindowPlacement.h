#pragma once
#include <QPoint>
#include <QRect>
#include <QString>

class QWidget;

/// The ten fields of a window placement, stored as the text
/// "flags,show command,min x,min y,max x,max y,left,top,right,bottom".
/// Right and bottom are exclusive; the normal rectangle is the window's
/// restored geometry in its parent's coordinates (the screen for a
/// top-level window).
struct CWindowPlacement
{
    unsigned flags = 0;
    unsigned showCmd = 0;
    QPoint ptMinPosition;
    QPoint ptMaxPosition;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    QString Format() const;
    /// True when the text holds exactly ten numeric fields.
    static bool Parse(const QString& text, CWindowPlacement& out);

    QRect NormalRect() const { return QRect(left, top, right - left, bottom - top); }
    void SetNormalRect(const QRect& rc);
    friend bool operator==(const CWindowPlacement&, const CWindowPlacement&) = default;
};

/// Show command of a widget: 0 hidden, 1 normal, 2 minimised, 3 maximised.
int ShowCmdOf(const QWidget* widget);
/// Shows the widget with a show command (0 hides; 5 and 9 show as they were / normal).
void ShowWithCmd(QWidget* widget, int nCmdShow);
