#include "ViewPreferences.h"

#include "ColourManager.h"
#include "DisplayProfile.h"
#include "Settings.h"

namespace ViewPreferences
{
namespace
{
const QString kSettings = QStringLiteral("Settings");
const QString kColourManagement = QStringLiteral("colourmanagement");
const QString kBackground = QStringLiteral("transparentbackground");
const QString kCheckerboard = QStringLiteral("checkerboard");
} // namespace

bool GetColourManagement()
{
    return Settings::GetProfileInt(kSettings, kColourManagement, 1) != 0;
}

void SetColourManagement(bool bOn)
{
    Settings::WriteProfileInt(kSettings, kColourManagement, bOn ? 1 : 0);
    Apply();
}

CPictureRenderer::Backdrop GetBackdrop()
{
    CPictureRenderer::Backdrop backdrop;
    const QString text = Settings::GetProfileString(kSettings, kBackground, kCheckerboard);
    // Anything but a colour (a damaged value too) is the checkerboard.
    const QColor colour = QColor::fromString(text);
    if (text.startsWith(QLatin1Char('#')) && colour.isValid())
    {
        backdrop.bCheckerboard = false;
        backdrop.color = colour;
    }
    return backdrop;
}

void SetBackdrop(const CPictureRenderer::Backdrop& backdrop)
{
    Settings::WriteProfileString(kSettings, kBackground,
                                 backdrop.bCheckerboard ? kCheckerboard
                                                        : backdrop.color.name(QColor::HexRgb));
}

void Apply()
{
    CColourManager::SetEnabled(GetColourManagement());
    DisplayProfile::Install();
}
} // namespace ViewPreferences
