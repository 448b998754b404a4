#include "DisplayProfile.h"

#include "ColourManager.h"
#include "WinBmp.h"

#include <QGuiApplication>
#include <QImage>

#include <cstring>
#include <exception>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace DisplayProfile
{
namespace
{
/// Display profiles are tens of kilobytes; more is not a display profile.
constexpr long kMaxBytes = 4l << 20;
} // namespace

QByteArray Read()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return {};
    const Atom atom = XInternAtom(display, "_ICC_PROFILE", True);
    if (atom == None)
        return {};
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    // The length is in 32-bit units.
    if (XGetWindowProperty(display, DefaultRootWindow(display), atom, 0, kMaxBytes / 4, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) != Success)
        return {};
    QByteArray bytes;
    // Only a whole profile of bytes; 8-bit items come back one byte each.
    if (data && format == 8 && after == 0)
        bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(count));
    if (data)
        XFree(data);
    return bytes;
}

void Install()
{
    const QByteArray icc = Read();
    CColourManager::SetDisplayProfile(reinterpret_cast<const uint8_t*>(icc.constData()),
                                      size_t(icc.size()));
}

void ToDisplay(QImage& image)
{
    if (image.isNull() || image.depth() != 32 || !CColourManager::HasDisplayProfile())
        return;
    // QImage's 32-bit formats hold B, G, R, A in memory as the bitmap does.
    // Without memory for the copy the image stays in sRGB.
    try
    {
        CWinBmp bmp;
        bmp.Create(image.width(), image.height(), 32, image.hasAlphaChannel());
        const size_t bytes = 4 * size_t(image.width());
        for (int y = 0; y < image.height(); y++)
            std::memcpy(bmp.GetLineArray()[y], image.constScanLine(y), bytes);
        if (!CColourManager::SrgbToDisplay(bmp))
            return;
        for (int y = 0; y < image.height(); y++)
            std::memcpy(image.scanLine(y), bmp.GetLineArray()[y], bytes);
    }
    catch (const std::exception&)
    {
    }
}
} // namespace DisplayProfile
