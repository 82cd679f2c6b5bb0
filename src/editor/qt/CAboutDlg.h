#pragma once

#include <QDialog>

class QLabel;

// The About box of template 100: the 64 x 64 logo, the program's name and its version, laid out
// in dialog units through the dialog font like the main dialog. Enter, Esc and the close box end
// it.
class CAboutDlg final : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    QLabel* versionText() const { return versionText_; }
    QLabel* logo() const { return logo_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* logo_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* versionText_ = nullptr;
};
