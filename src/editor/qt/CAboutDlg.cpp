#include "editor/qt/CAboutDlg.h"

#include "VanetoVersion.h"
#include "editor/qt/DialogUnits.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About VanetoEditor"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    logo_ = new QLabel(this);
    logo_->setObjectName(QStringLiteral("logo"));
    logo_->setAlignment(Qt::AlignCenter);
    logo_->setPixmap(QPixmap(QStringLiteral(":/icons/vaneto-about.png")));

    name_ = new QLabel(QStringLiteral("VanetoEditor"), this);
    name_->setAlignment(Qt::AlignCenter);

    versionText_ = new QLabel(QStringLiteral("<<VersionString>>"), this);
    versionText_->setObjectName(QStringLiteral("control1011"));
    versionText_->setAlignment(Qt::AlignCenter);

    const QFont dialogFont = font();
    QRect picture = mapDialogUnits(dialogFont, 58, 7, 43, 39);
    // The picture static grows to show the whole 64 x 64 logo, centred where the template puts it.
    if (picture.width() < 64 || picture.height() < 64) {
        const QPoint centre = picture.center();
        picture.setSize(picture.size().expandedTo(QSize(64, 64)));
        picture.moveCenter(centre);
    }
    logo_->setGeometry(picture);
    name_->setGeometry(mapDialogUnits(dialogFont, 7, 54, 146, 8));
    versionText_->setGeometry(mapDialogUnits(dialogFont, 7, 66, 146, 8));
    QSize size = mapDialogUnits(dialogFont, 0, 0, 160, 103).size();
    size.setHeight(std::max(size.height(), versionText_->geometry().bottom() + 8));
    setFixedSize(size);

    // Initialisation: the version replaces the template's placeholder.
    versionText_->setText(QStringLiteral("Version " VANETO_VERSION));
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    // The hidden OK button is the default button: Enter ends the box like Esc.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
