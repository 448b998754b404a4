#include "AppTestSupport.h"
#include "DocManagerEx.h"
#include "MainFrame.h"
#include "NativePath.h"
#include "PreviewFileDlg.h"
#include "PreviewPicture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

#include <cstdio>
#include <sys/stat.h>

namespace
{
// Runs the event loop until the preview's worker has answered.
void WaitForPreview(CPreviewPicture& preview, bool bWant)
{
    QElapsedTimer clock;
    clock.start();
    while (preview.HasImage() != bWant && clock.elapsed() < 5000)
        QCoreApplication::processEvents();
    // A later answer must not change it again.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}
} // namespace

TEST(PreviewPicture, PicturesAreShrunkToTheAreaAndCentredButNeverEnlarged)
{
    const QRect area(1, 1, 87, 83);
    struct Case
    {
        QSize picture;
        QRect place;
    };
    for (const Case& c :
         {Case{{400, 100}, {1, 32, 87, 21}}, Case{{100, 400}, {34, 1, 20, 83}},
          Case{{50, 40}, {19, 22, 50, 40}}, Case{{87, 83}, {1, 1, 87, 83}}, Case{{0, 10}, {}}})
        EXPECT_EQ(CPreviewPicture::PlaceOf(c.picture, area), c.place) << c.picture.width();
}

TEST_F(AppTest, PreviewShowsADecodedPictureAndNothingForOtherFiles)
{
    const QString good = MakeBmp(QStringLiteral("a.bmp"), QSize(300, 200), Qt::red);
    const QString broken = QDir(TestDir()).filePath(QStringLiteral("broken.png"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();

    CPreviewPicture preview;
    preview.resize(134, 138);
    preview.LoadPreview(good);
    WaitForPreview(preview, true);
    ASSERT_TRUE(preview.HasImage());
    const QImage shown = preview.grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(67, 69)), QColor(Qt::red));

    preview.LoadPreview(broken);
    WaitForPreview(preview, false);
    EXPECT_FALSE(preview.HasImage());
    preview.LoadPreview(TestDir()); // a folder
    WaitForPreview(preview, false);
    EXPECT_FALSE(preview.HasImage());

    // A quick change of selection: only the last file counts.
    preview.LoadPreview(good);
    preview.LoadPreview(broken);
    WaitForPreview(preview, false);
    EXPECT_FALSE(preview.HasImage());
    preview.LoadPreview(good);
    WaitForPreview(preview, true);
    preview.ClearPreview();
    WaitForPreview(preview, false);
    EXPECT_FALSE(preview.HasImage());

    // A name that is not UTF-8 is shown as well.
    const QByteArray raw = QFile::encodeName(TestDir()) + "/caf\xe9.bmp";
    ASSERT_EQ(rename(QFile::encodeName(good).constData(), raw.constData()), 0);
    preview.LoadPreview(NativePath::Decode(raw));
    WaitForPreview(preview, true);
    EXPECT_TRUE(preview.HasImage());
}

TEST_F(AppTest, OpenDialogHasThePreviewPanelTheFilterNamesAndTheCurrentFolder)
{
    StartApp();
    QDir::setCurrent(TestDir());
    QStringList filters;
    for (const CDocManager::Filter& f : m_app->GetDocManager()->BuildFilters())
        filters.append(f.name + QStringLiteral(" (") + f.patterns + QLatin1Char(')'));
    CPreviewFileDlg dialog(true, QStringLiteral("bmp"), QString(), filters, Frame());
    EXPECT_EQ(QDir(dialog.GetFolder()).canonicalPath(), QDir(TestDir()).canonicalPath());
    QComboBox* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i)
        shown.append(types->itemText(i));
    EXPECT_EQ(shown, QStringList({"jpg,bmp,png,tif,eps,tga,pct", "Vistrel Project Files (*.vrp)",
                                  "All Files (*.*)"}));
    ASSERT_NE(dialog.GetPreviewCheck(), nullptr);
    EXPECT_EQ(dialog.GetPreviewCheck()->text(), QStringLiteral("&Preview"));
    EXPECT_TRUE(dialog.GetPreviewCheck()->isChecked());

    // Unchecked, a new selection leaves the panel empty; checked again, it
    // previews the current file.
    const QString a = MakeBmp(QStringLiteral("a.bmp"), QSize(20, 20), Qt::blue);
    dialog.GetPreviewCheck()->click();
    emit dialog.currentChanged(a);
    WaitForPreview(*dialog.GetPreview(), false);
    EXPECT_FALSE(dialog.GetPreview()->HasImage());
    dialog.GetPreviewCheck()->click();
    WaitForPreview(*dialog.GetPreview(), true);
    EXPECT_TRUE(dialog.GetPreview()->HasImage());
}

TEST_F(AppTest, OpenDialogListsAndChoosesNamesThatAreNotUtf8)
{
    const QByteArray dir = QFile::encodeName(TestDir());
    ASSERT_EQ(mkdir((dir + "/d\xe9j\xe0").constData(), 0700), 0);
    const QString inner = MakeBmp(QStringLiteral("x.bmp"), QSize(4, 4), Qt::red);
    ASSERT_EQ(rename(QFile::encodeName(inner).constData(), (dir + "/d\xe9j\xe0/x.bmp").constData()),
              0);
    const QString picture = MakeBmp(QStringLiteral("p.bmp"), QSize(4, 4), Qt::red);
    ASSERT_EQ(rename(QFile::encodeName(picture).constData(), (dir + "/caf\xe9.bmp").constData()),
              0);
    QFile notes(TestDir() + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();

    CPreviewFileDlg dialog(true, QStringLiteral("bmp"), TestDir() + QStringLiteral("/"),
                           {QStringLiteral("Pictures (*.bmp)"), QStringLiteral("All Files (*)")},
                           Frame());
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_TRUE(tree && name && types);
    const auto rows = [tree]
    {
        QStringList shown;
        for (int row = 0; row < tree->model()->rowCount(); ++row)
            shown.append(tree->model()->index(row, 0).data().toString());
        return shown;
    };
    const auto choose = [&](const QString& shown)
    {
        const qsizetype row = rows().indexOf(shown);
        ASSERT_GE(row, 0) << shown.toStdString();
        tree->setCurrentIndex(tree->model()->index(int(row), 0));
        dialog.accept();
    };
    // Folders first; the type's patterns pick the files.
    EXPECT_EQ(rows(), QStringList({u"d\uFFFDj\uFFFD"_qs, u"caf\uFFFD.bmp"_qs}));
    types->setCurrentIndex(1);
    EXPECT_EQ(rows(), QStringList({u"d\uFFFDj\uFFFD"_qs, u"caf\uFFFD.bmp"_qs, u"notes.txt"_qs}));

    // Choosing a folder goes into it; up comes back to it, selected.
    choose(u"d\uFFFDj\uFFFD"_qs);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.GetFolder(), NativePath::Decode(dir + "/d\xe9j\xe0"));
    EXPECT_EQ(rows(), QStringList({u"x.bmp"_qs}));
    for (QToolButton* button : dialog.findChildren<QToolButton*>())
        if (button->accessibleName() == QLatin1String("Parent Directory"))
            button->click();
    EXPECT_EQ(dialog.GetFolder(), TestDir());
    EXPECT_EQ(name->text(), u"d\uFFFDj\uFFFD"_qs);

    // A name typed that is not there keeps the dialog; a listed one is
    // chosen with its bytes.
    name->setText(QStringLiteral("nosuch.bmp"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("File not found")))
        << m_messages[0].toStdString();
    choose(u"caf\uFFFD.bmp"_qs);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetPathName(), NativePath::Decode(dir + "/caf\xe9.bmp"));
}
