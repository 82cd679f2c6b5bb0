#include "editor/qt/WorkOfferBar.h"

#include "editor/qt/KeptWorkDialog.h"
#include "editor/qt/QtText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

WorkOfferBar::WorkOfferBar(QWidget& window, Handlers handlers)
    : QFrame(&window), handlers_(std::move(handlers)), text_(new QLabel(this)),
      restore_(new QPushButton(QStringLiteral("&Restore"), this)),
      dismiss_(new QPushButton(QStringLiteral("&Dismiss"), this)),
      others_(new QPushButton(QStringLiteral("&Other kept work..."), this)) {
    setObjectName(QStringLiteral("workOffer"));
    text_->setObjectName(QStringLiteral("workOfferText"));
    restore_->setObjectName(QStringLiteral("restoreWork"));
    dismiss_->setObjectName(QStringLiteral("dismissWork"));
    others_->setObjectName(QStringLiteral("otherKeptWork"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    auto* row = new QHBoxLayout(this);
    row->addWidget(text_, 1);
    row->addWidget(restore_);
    row->addWidget(dismiss_);
    row->addWidget(others_);
    connect(restore_, &QPushButton::clicked, this, [this] { handlers_.restore(); });
    connect(dismiss_, &QPushButton::clicked, this, [this] { handlers_.dismiss(); });
    connect(others_, &QPushButton::clicked, this, [this] { handlers_.others(); });
    hide();
}

void WorkOfferBar::showWorkOffer(const std::string& text) {
    text_->setText(fromUtf8(text));
    show();
    handlers_.relayout();
}

void WorkOfferBar::hideWorkOffer() {
    if (!isHidden()) {
        hide();
        handlers_.relayout();
    }
}

std::string WorkOfferBar::chooseKeptWork(const std::vector<KeptRow>& rows) {
    KeptWorkDialog dialog(rows, parentWidget());
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : std::string();
}

QSize WorkOfferBar::arrange(QSize window) {
    if (isHidden()) {
        return window;
    }
    const int height =
        heightForWidth(window.width()) > 0 ? heightForWidth(window.width()) : sizeHint().height();
    setGeometry(0, window.height(), window.width(), height);
    return {window.width(), window.height() + height};
}
