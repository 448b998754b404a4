#pragma once
#include "PictureRenderer.h"

/// The image windows' preferences in section "Settings" of the store:
/// "colourmanagement" (1, the default, converts pictures by their colour
/// profiles and to the display's; 0 shows the stored values) and
/// "transparentbackground" ("checkerboard", the default, or a colour as
/// "#rrggbb") behind transparent pixels.
namespace ViewPreferences
{
bool GetColourManagement();
void SetColourManagement(bool bOn);
CPictureRenderer::Backdrop GetBackdrop();
void SetBackdrop(const CPictureRenderer::Backdrop& backdrop);
/// Hands the stored colour management and the display's profile to the
/// codec library; pictures decoded after follow them.
void Apply();
} // namespace ViewPreferences
