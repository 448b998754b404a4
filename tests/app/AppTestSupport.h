#pragma once
#include "VistrelApp.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>

class CMainFrame;
class CPLView;

/// A gtest name for a case described in words ("a b-c" -> "a_b_c").
std::string CaseName(const char* words);

/// Runs the event loop until the condition holds or the time is up; whether it holds.
bool ProcessUntil(const std::function<bool()>& done, int nMs = 5000);

/// A program started in the test's own settings store, with message boxes
/// answered by the test.
class AppTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    /// Runs start-up; the settings written before it are what it reads.
    /// Starts the program; `arguments` follow the program's name on its command line.
    void StartApp(const QStringList& arguments = {});
    /// Closes the main window the way the user does and ends the program.
    void Quit();
    CMainFrame* Frame() const;

    /// A 24-bit BMP of one colour in the test's folder; returns its full path.
    QString MakeBmp(const QString& name, QSize size, QColor color) const;
    QString TestDir() const;
    /// Opens an image through the template, visible, and waits until it is
    /// decoded; null when the decode failed (its window is gone then).
    CPLView* OpenView(const QString& path);
    /// Runs the event loop until every open picture is decoded.
    void WaitForPictures();
    /// Makes the view's client area exactly this size.
    void SetClientSize(CPLView* view, QSize size);
    static void ProcessEvents();

    std::unique_ptr<CVistrelApp> m_app;
    QStringList m_messages; // texts of every message box shown
    QList<int> m_answers;   // answers given in order; then IDOK / IDYES
};
