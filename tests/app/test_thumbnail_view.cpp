// The thumbnail look of the list bar: one list with two looks (selection,
// current item and top file kept across a switch), the commands and keys
// that switch look and size and are remembered, and what each entry shows.
#include "AppTestSupport.h"
#include "FileListCtrl.h"
#include "FolderThumbnails.h"
#include "ListBar.h"
#include "MainFrame.h"
#include "Resource.h"
#include "Settings.h"
#include "ThumbnailView.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>

namespace
{
QString Setting(const char* entry)
{
    return Settings::GetProfileString(QStringLiteral("ListBar"), QString::fromLatin1(entry));
}

QModelIndex Row(CFileListCtrl* list, int row)
{
    return list->model()->index(row, 0);
}
} // namespace

TEST_F(AppTest, BothLooksShareTheSelectionCurrentItemAndTopFile)
{
    for (int i = 0; i < 60; ++i)
        MakeBmp(QString("p%1.bmp").arg(i, 2, 10, QLatin1Char('0')), QSize(40, 30), Qt::red);
    StartApp();
    CListBar* bar = Frame()->GetListBar();
    bar->SetDirectory(TestDir());
    CFileListCtrl* list = bar->GetList();
    CThumbnailView* thumbs = bar->GetThumbnailView();
    ASSERT_EQ(list->GetItemCount(), 60);
    list->selectionModel()->select(Row(list, 40), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->selectionModel()->setCurrentIndex(Row(list, 41), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->scrollTo(Row(list, 30), QAbstractItemView::PositionAtTop);
    ProcessEvents();

    struct Step
    {
        int command;
        bool bThumbnails;
        const char* stored;
    };
    for (const Step& s : {Step{Id::ID_LISTBAR_THUMBNAILS, true, "thumbnails"},
                          Step{Id::ID_LISTBAR_DETAILS, false, "details"},
                          Step{Id::ID_LISTBAR_VIEWTOGGLE, true, "thumbnails"},
                          Step{Id::ID_LISTBAR_VIEWTOGGLE, false, "details"}})
    {
        SCOPED_TRACE(s.command);
        m_app->Router().Route(s.command);
        ProcessEvents();
        EXPECT_EQ(bar->IsThumbnailMode(), s.bThumbnails);
        EXPECT_EQ(thumbs->isVisible(), s.bThumbnails);
        EXPECT_EQ(Setting("view"), s.stored);
        EXPECT_EQ(list->GetSelectedName(), "p40.bmp");
        EXPECT_EQ(list->currentIndex().row(), 41);
        EXPECT_EQ(thumbs->selectionModel(), list->selectionModel());
        m_app->Router().UpdateAll();
        EXPECT_EQ(m_app->Router().Action(Id::ID_LISTBAR_THUMBNAILS)->isChecked(), s.bThumbnails);
        EXPECT_EQ(m_app->Router().Action(Id::ID_LISTBAR_DETAILS)->isChecked(), !s.bThumbnails);
        // The file at the top stays on screen in either look.
        QAbstractItemView* shown = s.bThumbnails ? static_cast<QAbstractItemView*>(thumbs) : list;
        const QRect top = shown->visualRect(Row(list, 30));
        EXPECT_TRUE(shown->viewport()->rect().intersects(top)) << top.y();
    }
    // A re-read (F5, the watcher) keeps the file at the top where it was,
    // though a new file before it moves every row.
    m_app->Router().Route(Id::ID_LISTBAR_THUMBNAILS);
    thumbs->ScrollToRow(30);
    ProcessEvents();
    const QString topName = list->GetItemText(thumbs->FirstVisibleRow());
    MakeBmp("a-new.bmp", QSize(10, 10), Qt::green);
    list->Reload();
    ProcessEvents();
    ASSERT_EQ(list->GetItemCount(), 61);
    const QRect top = thumbs->visualRect(Row(list, list->FindItemByName(topName)));
    EXPECT_GE(top.y(), 0);
    EXPECT_LT(top.y(), thumbs->gridSize().height()) << topName.toStdString();

    // The thumbnail look stays on at the next start.
    Quit();
    StartApp();
    EXPECT_TRUE(Frame()->GetListBar()->IsThumbnailMode());
}

TEST_F(AppTest, ThumbnailsShowPicturesIconsAndBrokenPictures)
{
    MakeBmp("a.bmp", QSize(300, 200), Qt::blue);
    QDir(TestDir()).mkdir("folder");
    QFile bad(TestDir() + "/b-damaged.bmp");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BMnot really");
    bad.close();
    QFile text(TestDir() + "/c.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("notes");
    text.close();
    StartApp();
    CListBar* bar = Frame()->GetListBar();
    bar->SetThumbnailMode(true);
    bar->SetDirectory(TestDir());
    CFolderThumbnails* thumbnails = bar->GetThumbnailView()->GetThumbnails();
    ASSERT_TRUE(ProcessUntil([&] { return thumbnails->GetWaiting() == 0; }, 20000));
    const CFolderThumbnails::State want[] = {CFolderThumbnails::kNoThumbnail, // folder
                                             CFolderThumbnails::kReady,       // a.bmp
                                             CFolderThumbnails::kBroken,      // b-damaged.bmp
                                             CFolderThumbnails::kNoThumbnail}; // c.txt
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(thumbnails->StateOf(row), want[row]) << bar->GetList()->GetItemText(row).toStdString();
    const QImage* image = thumbnails->ImageOf(1);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), QSize(128, 85));
    EXPECT_EQ(image->pixelColor(64, 40), QColor(Qt::blue));

    // A row that leaves takes its state along: the rows below keep theirs.
    bar->GetList()->RemoveItem(1);
    EXPECT_EQ(thumbnails->StateOf(1), CFolderThumbnails::kBroken);
    EXPECT_EQ(thumbnails->StateOf(2), CFolderThumbnails::kNoThumbnail);
    // The work starts again for the rows' new numbers; the damaged file stays broken.
    ProcessUntil([&] { return thumbnails->StateOf(1) != CFolderThumbnails::kWaiting; });
    EXPECT_EQ(thumbnails->StateOf(1), CFolderThumbnails::kBroken);
    bar->GetList()->Reload();
    ASSERT_TRUE(ProcessUntil([&] { return thumbnails->StateOf(1) == CFolderThumbnails::kReady; }));

    // Ctrl+plus and Ctrl+minus over the list: large, then normal again, remembered.
    CThumbnailView* view = bar->GetThumbnailView();
    for (auto [key, size] : {std::pair{Qt::Key_Equal, 256}, std::pair{Qt::Key_Minus, 128}})
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(view, &press);
        EXPECT_EQ(view->GetThumbnailSize(), size);
        EXPECT_EQ(Setting("thumbnail size"), QString::number(size));
        // The bar holds at least one column: nothing scrolls sideways.
        ProcessEvents();
        EXPECT_GE(view->viewport()->width(), view->gridSize().width()) << size;
    }
    // F2 edits the name in place, as in the details look.
    view->setCurrentIndex(view->model()->index(1, 0));
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(view, &f2);
    QPointer<QLineEdit> editor = view->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "a.bmp");
    // A re-read while the name is being edited waits for the edit to end.
    MakeBmp(QStringLiteral("z.bmp"), QSize(4, 4), Qt::red);
    bar->GetList()->Reload();
    ProcessEvents();
    EXPECT_TRUE(editor && editor->isVisible());
}
