#pragma once
#include <QList>
#include <QRgb>

/// A logical palette kept as data. True-colour screens need no realising, so
/// the palette only records its entries (or that it is the halftone palette).
class CPalette
{
public:
    bool IsEmpty() const { return !m_bHalftone && m_entries.isEmpty(); }
    bool IsHalftone() const { return m_bHalftone; }
    const QList<QRgb>& GetEntries() const { return m_entries; }

    /// Attaches a logical palette of the given entries (version 0x300, flags 0).
    bool CreatePalette(const QList<QRgb>& entries);
    /// Attaches the screen's halftone palette.
    bool CreateHalftonePalette();
    void DeleteObject();

private:
    QList<QRgb> m_entries;
    bool m_bHalftone = false;
};
