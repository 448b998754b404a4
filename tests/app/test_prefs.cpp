#include "AppTestSupport.h"
#include "ColourManager.h"
#include "MainFrame.h"
#include "PrefsDlg.h"
#include "Resource.h"
#include "Settings.h"
#include "ViewPreferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QTimer>

namespace
{
const QString kSettings = QStringLiteral("Settings");

int Stored(const char* entry)
{
    return Settings::GetProfileInt(kSettings, QString::fromLatin1(entry), -1);
}

QComboBox* Combo(const CPrefsDlg& dialog, int nID)
{
    return qobject_cast<QComboBox*>(dialog.GetDlgItem(nID));
}

QAbstractButton* Button(const CPrefsDlg& dialog, int nID)
{
    return qobject_cast<QAbstractButton*>(dialog.GetDlgItem(nID));
}
} // namespace

TEST(PrefsDlg, ReadsTheNumberAtTheStartOfTheText)
{
    const struct
    {
        const char* text;
        int seconds;
    } cases[] = {{"12abc", 12},
                 {"  7", 7},
                 {"\t+3", 3},
                 {"-2", -2},
                 {"", 0},
                 {"abc", 0},
                 {"1 2", 1},
                 {"- 5", 0},
                 {"٣", 0},
                 {"007", 7},
                 {"99999999999", 2147483}};
    for (const auto& c : cases)
        EXPECT_EQ(CPrefsDlg::ReadSeconds(QString::fromUtf8(c.text)), c.seconds) << c.text;
}

TEST_F(AppTest, PreferencesShowTheirDefaultsAndWriteNothingOnCancel)
{
    CPrefsDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Settings"));
    QComboBox* slideshow = Combo(dialog, Id::IDC_SLIDESHOW_DELAY);
    QComboBox* panning = Combo(dialog, Id::IDC_PAN_DELAY);
    ASSERT_TRUE(slideshow && panning);
    EXPECT_EQ(slideshow->currentText(), QStringLiteral("7"));
    EXPECT_EQ(panning->currentText(), QStringLiteral("4"));
    // Absent, the order shown is the slideshow's own: random.
    EXPECT_TRUE(Button(dialog, Id::IDC_RANDOM)->isChecked());
    EXPECT_FALSE(Button(dialog, Id::IDC_SEQUENTIAL)->isChecked());
    EXPECT_FALSE(Button(dialog, Id::IDC_PAN_SYNC)->isChecked());
    EXPECT_TRUE(Button(dialog, Id::IDC_PAN_SYNC)->isHidden());
    EXPECT_EQ(slideshow->count(), 20);
    EXPECT_EQ(slideshow->itemText(19), QString());
    EXPECT_EQ(panning->count(), 6);

    slideshow->setEditText(QStringLiteral("30"));
    Button(dialog, Id::IDC_RANDOM)->click();
    dialog.reject();
    for (const char* entry : {"slideshowspeed", "randomslideshow", "pandelay", "pansync",
                              "colourmanagement", "transparentbackground"})
        EXPECT_FALSE(Settings::HasProfileValue(kSettings, QString::fromLatin1(entry))) << entry;
}

// Colour management is on and transparency shows the checkerboard until
// the user says otherwise; both are stored on OK, and colour management
// reaches the codec library at once.
TEST_F(AppTest, PreferencesSetColourManagementAndTheTransparentBackground)
{
    {
        CPrefsDlg dialog;
        EXPECT_TRUE(Button(dialog, Id::IDC_COLOUR_MANAGEMENT)->isChecked());
        EXPECT_TRUE(Button(dialog, Id::IDC_BACKGROUND_CHECKERBOARD)->isChecked());
        EXPECT_FALSE(Button(dialog, Id::IDC_BACKGROUND_COLOUR)->isChecked());
        Button(dialog, Id::IDC_COLOUR_MANAGEMENT)->click();
        Button(dialog, Id::IDC_BACKGROUND_COLOUR)->click();
        dialog.accept();
    }
    EXPECT_EQ(Stored("colourmanagement"), 0);
    EXPECT_FALSE(CColourManager::IsEnabled());
    EXPECT_EQ(Settings::GetProfileString(kSettings, QStringLiteral("transparentbackground")),
              QStringLiteral("#808080"));
    EXPECT_FALSE(ViewPreferences::GetBackdrop().bCheckerboard);

    // A stored colour shows; a damaged value is the checkerboard.
    Settings::WriteProfileString(kSettings, QStringLiteral("transparentbackground"),
                                 QStringLiteral("#ff0000"));
    EXPECT_EQ(ViewPreferences::GetBackdrop().color, QColor(Qt::red));
    {
        CPrefsDlg dialog;
        EXPECT_FALSE(Button(dialog, Id::IDC_COLOUR_MANAGEMENT)->isChecked());
        EXPECT_TRUE(Button(dialog, Id::IDC_BACKGROUND_COLOUR)->isChecked());
        Button(dialog, Id::IDC_COLOUR_MANAGEMENT)->click();
        Button(dialog, Id::IDC_BACKGROUND_CHECKERBOARD)->click();
        dialog.accept();
    }
    EXPECT_EQ(Stored("colourmanagement"), 1);
    EXPECT_TRUE(CColourManager::IsEnabled());
    EXPECT_TRUE(ViewPreferences::GetBackdrop().bCheckerboard);
    Settings::WriteProfileString(kSettings, QStringLiteral("transparentbackground"),
                                 QStringLiteral("plaid"));
    EXPECT_TRUE(ViewPreferences::GetBackdrop().bCheckerboard);
}

TEST_F(AppTest, PreferencesWriteWholeSecondsAsMilliseconds)
{
    Settings::WriteProfileInt(kSettings, QStringLiteral("slideshowspeed"), 7500);
    Settings::WriteProfileInt(kSettings, QStringLiteral("randomslideshow"), 1);
    Settings::WriteProfileInt(kSettings, QStringLiteral("pansync"), 1);
    {
        CPrefsDlg dialog;
        EXPECT_EQ(Combo(dialog, Id::IDC_SLIDESHOW_DELAY)->currentText(), QStringLiteral("7"));
        EXPECT_TRUE(Button(dialog, Id::IDC_RANDOM)->isChecked());
        EXPECT_TRUE(Button(dialog, Id::IDC_PAN_SYNC)->isChecked());
        dialog.accept();
    }
    EXPECT_EQ(Stored("slideshowspeed"), 7000);
    EXPECT_EQ(Stored("randomslideshow"), 1);
    EXPECT_EQ(Stored("pandelay"), 4000);
    EXPECT_EQ(Stored("pansync"), 1);

    CPrefsDlg dialog;
    Combo(dialog, Id::IDC_SLIDESHOW_DELAY)->setEditText(QStringLiteral("12 seconds"));
    Combo(dialog, Id::IDC_PAN_DELAY)->setCurrentIndex(4);
    Button(dialog, Id::IDC_SEQUENTIAL)->click();
    dialog.accept();
    EXPECT_EQ(Stored("slideshowspeed"), 12000);
    EXPECT_EQ(Stored("randomslideshow"), 0);
    EXPECT_EQ(Stored("pandelay"), 8000);
}

TEST_F(AppTest, PreferencesStayOpenOnADelayThatIsNotAPositiveNumber)
{
    const struct
    {
        const char* slideshow;
        const char* panning;
        const char* message; // empty: accepted
    } cases[] = {
        {"abc", "4", "The slideshow delay must be a whole number of seconds, 1 or more."},
        {"0", "4", "The slideshow delay must be a whole number of seconds, 1 or more."},
        {"-3", "4", "The slideshow delay must be a whole number of seconds, 1 or more."},
        {"", "4", "The slideshow delay must be a whole number of seconds, 1 or more."},
        {"9", "x", "The panning delay must be a whole number of seconds, 1 or more."},
        {"12abc", " 2", ""},
    };
    for (const auto& c : cases)
    {
        QFile::remove(Settings::FileName());
        m_messages.clear();
        CPrefsDlg dialog;
        dialog.open();
        Combo(dialog, Id::IDC_SLIDESHOW_DELAY)->setEditText(QString::fromLatin1(c.slideshow));
        Combo(dialog, Id::IDC_PAN_DELAY)->setEditText(QString::fromLatin1(c.panning));
        dialog.accept();
        const bool bAccepted = *c.message == 0;
        EXPECT_EQ(dialog.isVisible(), !bAccepted) << c.slideshow << " " << c.panning;
        EXPECT_EQ(m_messages, bAccepted ? QStringList() : QStringList{QString::fromLatin1(c.message)});
        // Nothing at all is written while the dialog stays.
        EXPECT_EQ(Stored("slideshowspeed"), bAccepted ? 12000 : -1);
        EXPECT_EQ(Stored("pandelay"), bAccepted ? 2000 : -1);
    }
}

TEST_F(AppTest, PreferencesCommandSaysWhetherTheyWereSaved)
{
    StartApp();
    for (bool bOk : {true, false})
    {
        QTimer::singleShot(0,
                           [bOk]
                           {
                               if (auto* dialog =
                                       qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                                   bOk ? dialog->accept() : dialog->reject();
                           });
        m_app->Router().Route(Id::ID_PREFERENCES);
    }
    EXPECT_EQ(m_messages, (QStringList{QStringLiteral("Preferences Saved"),
                                       QStringLiteral("Preferences canceled")}));
    EXPECT_EQ(Stored("slideshowspeed"), 7000);
}
