#pragma once
#include "AnyPicDecoder.h"
#include "IBrowser.h"
#include "IImageHost.h"
#include "IPendingFiles.h"
#include "IProjectHost.h"
#include "ISlideHost.h"
#include "SlideshowState.h"
#include "WinApp.h"

#include <QPointer>
#include <QStringList>
#include <memory>

class CChildFrame;
class CDocTemplate;
class CDocument;
class CFileListCtrl;
class CMainFrame;
class CMDIChildWnd;
class CPLView;
class CSlideshow;

/// The application object: start-up and quit, the state that several
/// windows share, the one image decoder, and the commands of the bars. It is
/// the host of the layers below: the slideshow's, the image windows', the
/// project tree's browser and pending files, and the projects'.
class CVistrelApp : public CWinApp,
                    public CSlideshowState,
                    public ISlideHost,
                    public IImageHost,
                    public IBrowser,
                    public IPendingFiles,
                    public IProjectHost
{
    Q_OBJECT
public:
    CVistrelApp();
    ~CVistrelApp() override;

    static CVistrelApp* Get() { return static_cast<CVistrelApp*>(CWinApp::Get()); }

    bool InitInstance() override;
    bool PreTranslateMessage(QObject* pTarget, QEvent* pEvent) override;

    /// Opens an image from the list bar or the project tree; with bReplace the
    /// first open image document is closed first and the path enters the
    /// recent-file list. True when a document was opened.
    bool OpenImage(const QString& path, bool bReplace) override;
    /// Closes every image document and the open project, then opens the project.
    void OpenProjectFile(const QString& path) override;
    /// Closes every open image document (a modified one may first be saved).
    void CloseAllImages();
    /// Moves the file to the trash when it is the file of the active image
    /// window; true when it is gone afterwards.
    bool DeleteOpenImageFile(const QString& path);
    /// Moves the active image window's file to the trash (after asking); the
    /// list then goes on as after any delete (CFileListCtrl::RemoveDeleted).
    /// True when the file is gone.
    bool DeleteShownPicture();
    /// The active image window's picture was deleted: it shows this one
    /// instead, or closes when the path is empty.
    void ShowInPlaceOfDeleted(const QString& path);
    /// The file of the active image window, or empty.
    QString GetActiveImagePath() const;
    /// A file or folder was renamed: open pictures in it, the list and the
    /// paths kept here follow it to its new path.
    void OnEntryRenamed(const QString& from, const QString& to);

    /// Switches panning on and starts it on the active image view, if any.
    void StartPanning();
    /// Switches panning off and stops every image view's worker.
    void StopPanning();
    /// While panning is on, moves it to the active image view: the slideshow
    /// calls this when a new slide's frame has become active.
    void RestartPanning();
    void SetPanView(CPLView* pView) override { m_pPanView = pView; }
    CPLView* GetPanView() const override { return m_pPanView; }
    /// The slideshow's commands and the tick of its frame's timer.
    void StartSlideshow();
    void NextSlide();
    void StopSlideshow();
    CSlideshow& GetSlideshow() const { return *m_pSlideshow; }

    /// Writes the placements of up to four open image windows, "w1" ... "w4".
    void SaveOpenWindows();
    void SaveProjectOnExit();

    /// The decoder every image document reads its file with.
    CPicDecoder& GetDecoder() override { return m_decoder; }
    QPrinter& GetPrinter() override { return CWinApp::GetPrinter(); }
    CDocTemplate* GetImageTemplate() const override { return m_pImageTemplate; }
    CDocTemplate* GetProjectTemplate() const override { return m_pProjectTemplate; }
    CMainFrame* GetMainFrame() const;
    /// The list bar's file list, or null before the main frame exists.
    CFileListCtrl* GetFileList() const;
    /// The active child frame when it is an image frame, else null.
    CChildFrame* GetActiveImageFrame() const;
    /// The show command of the active image frame, 0 when there is none.
    int GetActiveImageShowCmd() const;

    // The slideshow's host.
    CSlideshowState& GetSlideshowState() override { return *this; }
    ISlideSource* GetSlideSource() override;
    void BeginSlideshow() override;
    void SlideFrameShown(CMDIChildWnd* pFrame, const QString& path) override;
    void StopSlideshowTimers() override;
    void SetCurrentImage(const QString& path) override { m_strCurrentImage = path; }
    void ShowStatus(const QString& text, int ms) override;
    QWidget* GetMessageParent() const override;
    void UpdateCommands() override;

    // The project tree's browser and pending files, and the projects' host.
    bool IsImageFile(const QString& path) const override;
    void ShowFolder(const QString& path) override;
    QStringList TakeMultiCopy() override;
    QString GetPendingCut() const override;
    void CutMoved(const QStringList& moved) override;
    QString GetProjectPath() const override { return m_strProjectPath; }
    void SetProjectPath(const QString& path) override { m_strProjectPath = path; }
    CProjectTreeCtrl* GetProjectTree() const override;

    /// The show command the program started with.
    int m_nCmdShow = 1;

    CPLView* m_pPanView = nullptr;
    bool m_bPanning = false;
    bool m_bCutPending = false;
    QString m_strPendingPlacement;
    CDocTemplate* m_pImageTemplate = nullptr;
    CDocTemplate* m_pProjectTemplate = nullptr;
    QString m_strProjectPath;
    QString m_strBrowseDir;
    QString m_strCurrentImage;
    QString m_strStartDir;
    /// The program's arguments, the program's name first; read by InitInstance.
    QStringList m_arguments;

private:
    /// Reopens up to nFiles recent files, each at its stored placement, the
    /// active one on top; the recent list keeps its order.
    void ReopenRecentFiles(int nFiles);
    /// Whether start-up must stop: the main frame has closed, or a
    /// termination request came while a box was up (the frame closes now).
    bool StartUpEnded();
    void OnAppAbout();
    /// A picture opened from File > Open is shown in the list, as one named
    /// on the command line is.
    void OnFileOpened(CDocument* pDoc) override;
    /// Lists the picture's folder with the picture selected.
    void ShowInList(const QString& picture);
    void OnListBarShow();
    /// Shows the picture in place of the active image window's: it opens
    /// hidden and takes that window's place when its picture has come.
    CDocument* ReplaceImage(const QString& path);

    CAnyPicDecoder m_decoder;
    std::unique_ptr<CSlideshow> m_pSlideshow; // the slides ahead and the show's steps
    QPointer<CMDIChildWnd> m_pStepFrame; // the hidden window of a step whose picture is on its way
};
