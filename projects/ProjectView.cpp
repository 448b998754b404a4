#include "ProjectView.h"

#include "Document.h"

#include <QFontDatabase>
#include <QFontInfo>

CProjectView::CProjectView()
{
    setObjectName(QStringLiteral("ProjectView"));
    setAccessibleName(QStringLiteral("Project text"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setViewportMargins(18, 0, 4, 0);

    QFont font(QStringLiteral("Courier New"));
    font.setPointSizeF(10.0);
    if (!QFontInfo(font).exactMatch())
    {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(10.0);
    }
    // The system's fixed font is not always fixed-pitch (some font sets map
    // it to a proportional face); then any typewriter face the system has.
    if (!QFontInfo(font).fixedPitch())
    {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        for (const QString& family : QFontDatabase::families())
            if (QFontDatabase::isFixedPitch(family))
            {
                font.setFamily(family);
                if (QFontInfo(font).fixedPitch())
                    break;
            }
    }
    setFont(font);

    connect(this, &QPlainTextEdit::textChanged, this, &CProjectView::OnTextChanged);
}

QByteArray CProjectView::GetProjectText() const
{
    return m_text;
}

void CProjectView::SetProjectText(const QByteArray& text)
{
    const qsizetype nul = text.indexOf('\0');
    m_text = nul < 0 ? text : text.left(nul);
    m_bSettingText = true;
    setPlainText(
        QString::fromLocal8Bit(m_text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_bSettingText = false;
}

void CProjectView::OnTextChanged()
{
    if (m_bSettingText)
        return;
    // The editor keeps lines apart by "\n"; the file's line ends are CR LF.
    m_text = toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toLocal8Bit();
    if (CDocument* pDoc = GetDocument())
        pDoc->SetModifiedFlag(true);
}
