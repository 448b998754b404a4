#pragma once
#include <QDockWidget>

/// A resizable bar that docks on a side of the main frame or floats.
class CSizeControlBar : public QDockWidget
{
    Q_OBJECT
public:
    explicit CSizeControlBar(int nStyle = 4);

    /// Names the bar (window name and object name) and puts it in the frame.
    bool Create(const QString& windowName, QWidget* pParent, int nID);
    int GetDlgCtrlID() const { return m_nID; }

    /// Alignment bits of the sides the bar may dock on (0: it may not dock).
    void EnableDocking(unsigned dwDockStyle);
    unsigned GetDockingStyle() const { return m_dwDockStyle; }
    bool IsProbablyFloating() const { return isFloating(); }
    /// The bar's size when docked.
    QSize CalcFixedLayout(bool bStretch, bool bHorz) const;

private:
    int m_nStyle;
    int m_nID = 0;
    unsigned m_dwDockStyle = 0;
};
