#include "AppTestSupport.h"
#include "DIBSection.h"
#include "DocTemplate.h"
#include "DrawDibBmp.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "Resource.h"
#include "Settings.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QPainter>
#include <QScrollBar>

namespace
{
QRgb Pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TEST_F(AppTest, SmallPictureIsCentredBetweenBlackStrips)
{
    StartApp();
    CPLView* view = OpenView(MakeBmp(QStringLiteral("small.bmp"), QSize(100, 50), Qt::red));
    ASSERT_NE(view, nullptr);
    SetClientSize(view, QSize(400, 300));
    ASSERT_EQ(view->viewport()->size(), QSize(400, 300));
    EXPECT_EQ(view->GetDestinationRect(), (CRect{150, 125, 250, 175}));
    const QImage shot = view->viewport()->grab().toImage();
    for (const QPoint& p : {QPoint(0, 0), QPoint(149, 150), QPoint(399, 299), QPoint(200, 10),
                            QPoint(260, 150)})
        EXPECT_EQ(Pixel(shot, p.x(), p.y()), 0x000000u) << p.x() << "," << p.y();
    EXPECT_EQ(Pixel(shot, 150, 125), 0xFF0000u);
    EXPECT_EQ(Pixel(shot, 249, 174), 0xFF0000u);
}

TEST_F(AppTest, TinyPictureKeepsAUsableWindowAroundIt)
{
    StartApp();
    CPLView* view = OpenView(MakeBmp(QStringLiteral("tiny.bmp"), QSize(4, 4), Qt::red));
    ASSERT_NE(view, nullptr);
    const QMdiSubWindow* frame = view->GetParentFrame();
    // The frame's own least size: room for its title and buttons.
    EXPECT_GE(frame->width(), frame->minimumSizeHint().width());
    EXPECT_GE(frame->height(), frame->minimumSizeHint().height());
    EXPECT_GT(view->viewport()->width(), 4);
    EXPECT_GT(view->viewport()->height(), 4);
    const QSize client = view->viewport()->size();
    const CRect dest = view->GetDestinationRect();
    EXPECT_EQ(dest.left, (client.width() - 4) / 2);
    EXPECT_EQ(dest.top, (client.height() - 4) / 2);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
}

TEST_F(AppTest, WiderButLowerPictureGetsAGreyWindowAndStartsAtTheLeft)
{
    StartApp();
    CPLView* view = OpenView(MakeBmp(QStringLiteral("wide.bmp"), QSize(420, 50), Qt::blue));
    ASSERT_NE(view, nullptr);
    SetClientSize(view, QSize(400, 300));
    ASSERT_EQ(view->viewport()->size(), QSize(400, 300));
    EXPECT_EQ(view->GetDestinationRect(), (CRect{0, 125, 420, 175}));
    const QImage shot = view->viewport()->grab().toImage();
    EXPECT_EQ(Pixel(shot, 0, 0), 0xE0E0E0u);
    EXPECT_EQ(Pixel(shot, 399, 299), 0xE0E0E0u);
    EXPECT_EQ(Pixel(shot, 200, 124), 0xE0E0E0u);
    EXPECT_EQ(Pixel(shot, 0, 125), 0x0000FFu);
}

TEST_F(AppTest, FitStretchesToTheWindowAndOffRestoresScrolling)
{
    StartApp();
    CPLView* view = OpenView(MakeBmp(QStringLiteral("big.bmp"), QSize(1000, 800), Qt::gray));
    ASSERT_NE(view, nullptr);
    SetClientSize(view, QSize(400, 300));
    const QSize client = view->viewport()->size();
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 1000 - client.width());
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 800 - client.height());

    m_app->Router().Route(Id::ID_VIEW_FIT);
    m_app->Router().UpdateAll();
    EXPECT_TRUE(m_app->Router().Action(Id::ID_VIEW_FIT)->isChecked());
    ProcessEvents();
    EXPECT_EQ(view->GetDestinationRect(),
              (CRect{0, 0, view->viewport()->width(), view->viewport()->height()}));
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 0);

    m_app->Router().Route(Id::ID_VIEW_FIT);
    ProcessEvents();
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 1000 - view->viewport()->width());
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 800 - view->viewport()->height());
    EXPECT_EQ(view->GetDestinationRect(), (CRect{0, 0, 1000, 800}));

    // Dither is on at first and toggles.
    m_app->Router().UpdateAll();
    QAction* dither = m_app->Router().Action(Id::ID_VIEW_DITHER);
    EXPECT_TRUE(dither->isChecked());
    dither->trigger();
    m_app->Router().UpdateAll();
    EXPECT_FALSE(dither->isChecked());
}

TEST_F(AppTest, StatusPaneShowsTheImageInfoOfTheActiveView)
{
    StartApp();
    QLabel* pane = Frame()->findChild<QLabel*>(QStringLiteral("ImageInfoPane"));
    ASSERT_NE(pane, nullptr);
    m_app->Router().UpdateAll();
    EXPECT_TRUE(pane->text().isEmpty());
    CPLView* view = OpenView(MakeBmp(QStringLiteral("info.bmp"), QSize(100, 50), Qt::red));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetImageInfoText(), QStringLiteral(" 100 x 50; 32 bpp; 19 kb"));
    m_app->Router().UpdateAll();
    EXPECT_EQ(pane->text(), view->GetImageInfoText());
}

TEST_F(AppTest, FileThatFailsToDecodeShowsTheDecoderTextAndLeavesNoWindow)
{
    StartApp();
    const QString path = QDir(TestDir()).filePath(QStringLiteral("broken.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a picture at all, just some text.\n");
    file.close();
    std::string expected;
    try
    {
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        decoder.DecodeFile(QFile::encodeName(path).toStdString(), bmp, 0);
    }
    catch (const CTextException& e)
    {
        expected = e.GetText();
    }
    ASSERT_FALSE(expected.empty());

    // The window comes at once; the decode fails on its worker and takes it away.
    m_app->OpenDocumentFile(path);
    WaitForPictures();
    ProcessUntil([this] { return !m_messages.isEmpty() && Frame()->MdiArea()->subWindowList().isEmpty(); });
    ASSERT_EQ(m_messages.size(), 1);
    // The decoder's text, after the file's name.
    EXPECT_EQ(m_messages.first(),
              QFileInfo(path).fileName() + ": " + QString::fromStdString(expected).trimmed());
    EXPECT_TRUE(m_app->GetImageTemplate()->GetDocuments().isEmpty());
    EXPECT_TRUE(Frame()->MdiArea()->subWindowList().isEmpty());
    // The failed window's placement does not replace the stored one.
    Quit();
    EXPECT_TRUE(Settings::GetProfileString(QStringLiteral("Settings"),
                                           QStringLiteral("WWTypeWindowPos"))
                    .isEmpty());
}

TEST_F(AppTest, SaveAsBmpAsksBeforeReplacingAndWritesBesideTheDocument)
{
    StartApp();
    // The document's own file is a BMP: saving would replace it.
    const QString own = MakeBmp(QStringLiteral("own.bmp"), QSize(20, 10), Qt::red);
    const QByteArray original = ReadAll(own);
    CPLView* view = OpenView(own);
    ASSERT_NE(view, nullptr);
    m_answers = {IDNO};
    EXPECT_FALSE(view->GetDocument()->SaveAsBmp());
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_EQ(ReadAll(own), original);
    m_answers = {IDYES};
    EXPECT_TRUE(view->GetDocument()->SaveAsBmp());
    EXPECT_FALSE(ReadAll(own).isEmpty());

    // A picture under another name: the copy lands beside it, not beside the
    // image opened last.
    const QString dib = MakeBmp(QStringLiteral("scan.dib"), QSize(20, 10), Qt::blue);
    const QString other = MakeBmp(QStringLiteral("other.dib"), QSize(5, 5), Qt::green);
    CPLView* scan = OpenView(dib);
    ASSERT_NE(scan, nullptr);
    ASSERT_TRUE(m_app->OpenImage(other, false));
    m_messages.clear();
    EXPECT_TRUE(scan->GetDocument()->SaveAsBmp());
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(ReadAll(QDir(TestDir()).filePath(QStringLiteral("scan.bmp"))).size(),
              ReadAll(dib).size());
    EXPECT_FALSE(QFile::exists(QDir(TestDir()).filePath(QStringLiteral("other.bmp"))));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(TestDir()).entryList(QDir::Files).size(), 4);
}

TEST_F(AppTest, OpeningMakesThePicturesFolderCurrentAndEntersRecentFiles)
{
    StartApp();
    const QString a = MakeBmp(QStringLiteral("a.bmp"), QSize(4, 4), Qt::red);
    const QString b = MakeBmp(QStringLiteral("b.bmp"), QSize(4, 4), Qt::red);
    QDir::setCurrent(QDir::homePath());
    ASSERT_NE(m_app->OpenDocumentFile(a), nullptr);
    EXPECT_EQ(QDir::currentPath(), TestDir());
    // Replacing closes the first image document when the new picture arrives.
    ASSERT_TRUE(m_app->OpenImage(b, true));
    ProcessUntil([this] { return m_app->GetImageTemplate()->GetDocuments().size() == 1; });
    ASSERT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 1);
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().first()->GetPathName(), b);
    EXPECT_EQ(Settings::GetProfileString(QStringLiteral("Recent File List"),
                                         QStringLiteral("File1")),
              b);
}

TEST_F(AppTest, RotatingAndFlippingTurnWhatIsShownAndCopiedButNeverTheFile)
{
    StartApp();
    const QString path = MakeBmp(QStringLiteral("wide.bmp"), QSize(30, 20), Qt::red);
    const QByteArray before = ReadAll(path);
    CPLView* view = OpenView(path);
    ASSERT_NE(view, nullptr);
    CDrawDibBmp* pBmp = view->GetDocument()->GetBitmap();
    ASSERT_NE(pBmp, nullptr);
    // A blue top-left pixel shows where each turn takes the corner.
    pBmp->GetLineArray()[0][0] = 0xFF;
    pBmp->GetLineArray()[0][1] = pBmp->GetLineArray()[0][2] = 0;
    struct Step
    {
        int nID;
        QSize size;
        QPoint corner; // where the blue pixel is afterwards
    };
    for (const Step& step : {Step{Id::ID_VIEW_ROTATE_RIGHT, {20, 30}, {19, 0}},
                             Step{Id::ID_VIEW_FLIP_HORIZONTAL, {20, 30}, {0, 0}},
                             Step{Id::ID_VIEW_FLIP_VERTICAL, {20, 30}, {0, 29}},
                             Step{Id::ID_VIEW_ROTATE_LEFT, {30, 20}, {29, 19}}})
    {
        m_app->Router().Route(step.nID);
        ProcessEvents();
        CDrawDibBmp* pTurned = view->GetDocument()->GetBitmap();
        ASSERT_EQ(QSize(pTurned->GetWidth(), pTurned->GetHeight()), step.size);
        m_app->Router().Route(Id::ID_EDIT_COPY);
        const QImage copied = QGuiApplication::clipboard()->image();
        ASSERT_EQ(copied.size(), step.size) << step.nID;
        EXPECT_EQ(Pixel(copied, step.corner.x(), step.corner.y()), 0x0000FFu) << step.nID;
        // What is printed is the same turned picture, as wide as the page.
        EXPECT_EQ(CPLView::PrintDestination(1000, 1000, 300, 300, step.size.width(),
                                            step.size.height())
                      .Width(),
                  step.size.width() >= step.size.height() ? 1000 : 667);
    }
    EXPECT_EQ(ReadAll(path), before);
}
