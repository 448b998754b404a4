#include "PrefsDlg.h"

#include "MessageBox.h"
#include "Settings.h"
#include "ViewPreferences.h"
#include "ui_PrefsDlg.h"

#include <QColorDialog>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>

#include <climits>

namespace
{
const QString kSettings = QStringLiteral("Settings");
const QString kSlideshowSpeed = QStringLiteral("slideshowspeed");
const QString kRandomSlideshow = QStringLiteral("randomslideshow");
const QString kPanSync = QStringLiteral("pansync");
const QString kPanDelay = QStringLiteral("pandelay");
} // namespace

CPrefsDlg::CPrefsDlg(QWidget* pParent) : QDialog(pParent), m_ui(std::make_unique<Ui::CPrefsDlg>())
{
    m_ui->setupUi(this);

    // Absent, the order is the one the slideshow then takes: random.
    m_nRandom = Settings::GetProfileInt(kSettings, kRandomSlideshow, 1) != 0 ? 1 : 0;
    m_ui->random->setChecked(m_nRandom != 0);
    m_ui->sequential->setChecked(m_nRandom == 0);
    m_nSlideshowDelay = Settings::GetProfileInt(kSettings, kSlideshowSpeed, 7000) / 1000;
    m_ui->slideshowDelay->setEditText(QString::number(m_nSlideshowDelay));
    m_nPanSync = Settings::GetProfileInt(kSettings, kPanSync, 0) != 0 ? 1 : 0;
    m_ui->panSync->setChecked(m_nPanSync != 0);
    m_nPanDelay = Settings::GetProfileInt(kSettings, kPanDelay, 4000) / 1000;
    m_ui->panDelay->setEditText(QString::number(m_nPanDelay));

    m_bColourManagement = ViewPreferences::GetColourManagement();
    m_ui->colourManagement->setChecked(m_bColourManagement);
    m_backdrop = ViewPreferences::GetBackdrop();
    m_ui->checkerboard->setChecked(m_backdrop.bCheckerboard);
    m_ui->plainColour->setChecked(!m_backdrop.bCheckerboard);
    ShowColour();

    connect(m_ui->colourManagement, &QCheckBox::clicked, this,
            [this](bool bChecked) { m_bColourManagement = bChecked; });
    connect(m_ui->checkerboard, &QRadioButton::clicked, this,
            [this] { m_backdrop.bCheckerboard = true; });
    connect(m_ui->plainColour, &QRadioButton::clicked, this,
            [this] { m_backdrop.bCheckerboard = false; });
    connect(m_ui->chooseColour, &QPushButton::clicked, this,
            [this]
            {
                const QColor colour = QColorDialog::getColor(m_backdrop.color, this,
                                                             QStringLiteral("Background Colour"));
                if (!colour.isValid())
                    return;
                m_backdrop.color = colour;
                m_backdrop.bCheckerboard = false;
                m_ui->plainColour->setChecked(true);
                ShowColour();
            });
    connect(m_ui->random, &QRadioButton::clicked, this, [this] { m_nRandom = 1; });
    connect(m_ui->sequential, &QRadioButton::clicked, this, [this] { m_nRandom = 0; });
    connect(m_ui->panSync, &QCheckBox::clicked, this,
            [this](bool bChecked) { m_nPanSync = bChecked ? 1 : 0; });
}

CPrefsDlg::~CPrefsDlg() = default;

QWidget* CPrefsDlg::GetDlgItem(int nID) const
{
    switch (nID)
    {
    case Id::IDC_SLIDESHOW_DELAY:
        return m_ui->slideshowDelay;
    case Id::IDC_RANDOM:
        return m_ui->random;
    case Id::IDC_SEQUENTIAL:
        return m_ui->sequential;
    case Id::IDC_PAN_DELAY:
        return m_ui->panDelay;
    case Id::IDC_PAN_SYNC:
        return m_ui->panSync;
    case Id::IDC_COLOUR_MANAGEMENT:
        return m_ui->colourManagement;
    case Id::IDC_BACKGROUND_CHECKERBOARD:
        return m_ui->checkerboard;
    case Id::IDC_BACKGROUND_COLOUR:
        return m_ui->plainColour;
    case Id::IDC_BACKGROUND_CHOOSE:
        return m_ui->chooseColour;
    default:
        return nullptr;
    }
}

int CPrefsDlg::ReadSeconds(const QString& text)
{
    // Reads like atoi, but a number too large for milliseconds stops at the
    // largest that fits instead of wrapping round when it is stored.
    constexpr long long kLimit = INT_MAX / 1000;
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') ||
                               (text[i] >= QLatin1Char('\t') && text[i] <= QLatin1Char('\r'))))
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        bNegative = text[i++] == QLatin1Char('-');
    long long n = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        n = std::min(kLimit, n * 10 + (text[i].unicode() - '0'));
    return int(bNegative ? -n : n);
}

void CPrefsDlg::accept()
{
    // A delay that does not start with a positive number would store 0 or
    // less: the dialog stays open on that field instead.
    const struct
    {
        QComboBox* pField;
        int& nSeconds;
        const char* what;
    } delays[] = {{m_ui->slideshowDelay, m_nSlideshowDelay, "slideshow"},
                  {m_ui->panDelay, m_nPanDelay, "panning"}};
    for (const auto& delay : delays)
    {
        const int n = ReadSeconds(delay.pField->currentText());
        if (n <= 0)
        {
            AfxMessageBox(QStringLiteral("The %1 delay must be a whole number of seconds, 1 or more.")
                              .arg(QLatin1String(delay.what)),
                          MB_OK | MB_ICONWARNING, this);
            delay.pField->setFocus();
            delay.pField->lineEdit()->selectAll();
            return;
        }
        delay.nSeconds = n;
    }
    Settings::WriteProfileInt(kSettings, kPanSync, m_nPanSync);
    Settings::WriteProfileInt(kSettings, kPanDelay, m_nPanDelay * 1000);
    Settings::WriteProfileInt(kSettings, kSlideshowSpeed, m_nSlideshowDelay * 1000);
    Settings::WriteProfileInt(kSettings, kRandomSlideshow, m_nRandom);
    ViewPreferences::SetColourManagement(m_bColourManagement);
    ViewPreferences::SetBackdrop(m_backdrop);
    QDialog::accept();
}

void CPrefsDlg::ShowColour()
{
    QPixmap swatch(16, 16);
    swatch.fill(m_backdrop.color);
    m_ui->chooseColour->setIcon(QIcon(swatch));
}
