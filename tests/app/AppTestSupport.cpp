#include "AppTestSupport.h"

#include "DIBSection.h"
#include "DocTemplate.h"
#include "Document.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "Settings.h"
#include "View.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <filesystem>

void AppTest::SetUp()
{
    QFile::remove(Settings::FileName());
    // Names that are not UTF-8 too, which QDir::removeRecursively skips.
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(TestDir()).toStdString(), ignored);
    QDir().mkpath(TestDir());
    MessageBoxHook::Install(
        [this](const QString& text, int type)
        {
            m_messages.append(text);
            if (!m_answers.isEmpty())
                return m_answers.takeFirst();
            return (type & 0xF) == MB_YESNO || (type & 0xF) == MB_YESNOCANCEL ? IDYES : IDOK;
        });
}

void AppTest::TearDown()
{
    if (m_app && m_app->GetMainWnd() && m_app->GetMainWnd()->isVisible())
        Quit();
    m_app.reset();
    ProcessEvents();
    MessageBoxHook::Install(nullptr);
}

void AppTest::StartApp(const QStringList& arguments)
{
    m_app = std::make_unique<CVistrelApp>();
    m_app->m_arguments = QStringList{QStringLiteral("vistrel"), QStringLiteral("-nologo")} + arguments;
    ASSERT_TRUE(m_app->InitInstance());
    ProcessEvents();
}

void AppTest::Quit()
{
    Frame()->close();
    ProcessEvents();
}

CMainFrame* AppTest::Frame() const
{
    return m_app ? m_app->GetMainFrame() : nullptr;
}

QString AppTest::TestDir() const
{
    return QDir::home().filePath(QStringLiteral("pictures"));
}

QString AppTest::MakeBmp(const QString& name, QSize size, QColor color) const
{
    CDIBSection bmp;
    bmp.Create(size.width(), size.height(), 32, false);
    for (int y = 0; y < size.height(); ++y)
    {
        uint8_t* row = bmp.GetLineArray()[y];
        for (int x = 0; x < size.width(); ++x)
        {
            row[4 * x + 0] = uint8_t(color.blue());
            row[4 * x + 1] = uint8_t(color.green());
            row[4 * x + 2] = uint8_t(color.red());
            row[4 * x + 3] = 0xFF;
        }
    }
    const QString path = QDir(TestDir()).filePath(name);
    bmp.SaveAsBmp(QFile::encodeName(path).toStdString());
    return path;
}

CPLView* AppTest::OpenView(const QString& path)
{
    QPointer<QWidget> view;
    if (CDocument* pDoc = m_app->GetImageTemplate()->OpenDocumentFile(path, true))
        view = pDoc->GetFirstView()->GetWidget();
    WaitForPictures();
    return view ? qobject_cast<CPLView*>(view.data()) : nullptr;
}

void AppTest::WaitForPictures()
{
    // Pictures decode off this thread; a failed one closes its window.
    const auto loading = [this]
    {
        for (CDocument* pDoc : m_app->GetImageTemplate()->GetDocuments())
            if (auto* pImage = dynamic_cast<CPLViewerDoc*>(pDoc); pImage && pImage->IsLoading())
                return true;
        return false;
    };
    ProcessUntil([&] { return !loading(); });
    ProcessEvents();
}

void AppTest::SetClientSize(CPLView* view, QSize size)
{
    QMdiSubWindow* frame = view->GetParentFrame();
    if (frame->isMaximized())
        frame->showNormal();
    // Two rounds: scroll bars come and go with the size.
    for (int i = 0; i < 3; ++i)
    {
        frame->resize(frame->size() + (size - view->viewport()->size()));
        ProcessEvents();
    }
}

void AppTest::ProcessEvents()
{
    for (int i = 0; i < 3; ++i)
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

std::string CaseName(const char* words)
{
    std::string name = words;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

bool ProcessUntil(const std::function<bool()>& done, int nMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < nMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
