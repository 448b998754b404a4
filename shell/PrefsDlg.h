#pragma once
#include "PictureRenderer.h"

#include <QDialog>
#include <memory>

namespace Ui
{
class CPrefsDlg;
}

// Dialog 238 and its controls.
namespace Id
{
inline constexpr int IDD_PREFERENCES = 238;
inline constexpr int IDC_SLIDESHOW_DELAY = 1220;
inline constexpr int IDC_RANDOM = 1222;
inline constexpr int IDC_SEQUENTIAL = 1223;
inline constexpr int IDC_PAN_DELAY = 1226;
inline constexpr int IDC_PAN_SYNC = 1227;
inline constexpr int IDC_COLOUR_MANAGEMENT = 1228;
inline constexpr int IDC_BACKGROUND_CHECKERBOARD = 1229;
inline constexpr int IDC_BACKGROUND_COLOUR = 1230;
inline constexpr int IDC_BACKGROUND_CHOOSE = 1231;
} // namespace Id

/// The preferences dialog "Settings": the slideshow's delay and order, the
/// automatic panning's delay, colour management and what shows behind
/// transparent pixels, read from and written to section "Settings".
/// Delays show in seconds and are stored in milliseconds.
class CPrefsDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CPrefsDlg(QWidget* pParent = nullptr);
    ~CPrefsDlg() override;

    /// The control of a dialog id, or null.
    QWidget* GetDlgItem(int nID) const;

    /// The number at the start of the text: leading blanks and a sign
    /// allowed, reading stops at the first non-digit, 0 when there is none.
    /// Kept within what fits in milliseconds.
    static int ReadSeconds(const QString& text);

    void accept() override;

    // The values while the dialog shows; delays in seconds.
    int m_nSlideshowDelay = 0;
    int m_nRandom = 0;
    int m_nPanSync = 0;
    int m_nPanDelay = 2;
    bool m_bColourManagement = true;
    CPictureRenderer::Backdrop m_backdrop;

private:
    /// Shows the background colour on its button.
    void ShowColour();

    std::unique_ptr<Ui::CPrefsDlg> m_ui;
};
