// CWinBmp::CopyToClipboard lives here: the codec library knows no clipboard.
#include "DibImage.h"
#include "WinBmp.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>

namespace
{
void PutLE16(char* p, uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

void PutLE32(char* p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

/// A BMP file: the 14-byte file header in front of the packed DIB.
QByteArray BmpFileOf(const CWinBmp& bmp)
{
    const std::vector<uint8_t> dib = bmp.CreateDibHandle();
    QByteArray file(qsizetype(14 + dib.size()), '\0');
    char* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    PutLE32(p + 2, uint32_t(file.size()));
    PutLE16(p + 6, 0);
    PutLE16(p + 8, 0);
    PutLE32(p + 10, uint32_t(14 + 40 + bmp.GetPaletteBytes()));
    std::memcpy(p + 14, dib.data(), dib.size());
    return file;
}
} // namespace

bool CWinBmp::CopyToClipboard() const
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    CDibImage image;
    if (!image.Attach(*this))
        return false;

    // Programs that read BMP get the bitmap as stored; the rest take Qt's image.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/bmp"), BmpFileOf(*this));
    data->setImageData(image.ToImage());
    clipboard->setMimeData(data);
    return true;
}
