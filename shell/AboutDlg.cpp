#include "AboutDlg.h"

#include "Strings.h"
#include "ui_AboutDlg.h"

#include <QIcon>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent), m_ui(std::make_unique<Ui::CAboutDlg>())
{
    m_ui->setupUi(this);
    m_ui->icon->setPixmap(QIcon(QStringLiteral(":/icons/vistrel.png")).pixmap(48, 48));
    QFont font = m_ui->title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    m_ui->title->setFont(font);
    m_ui->version->setText(QString::fromLatin1(Str::kVersion));
    m_ui->acknowledgements->setText(QString::fromLatin1(Str::kAcknowledgements));
    const QString address = QString::fromLatin1(Str::kSupportAddress);
    m_ui->mail->setText(QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(address));
    m_ui->notice->setText(QString::fromLatin1(Str::kNotice));
}

CAboutDlg::~CAboutDlg() = default;
