#pragma once

#include "editor/EditorView.h"
#include "editor/ResynthesisView.h"
#include "editor/WaveShapingView.h"
#include "editor/qt/DialogUnitLayout.h"
#include "editor/qt/EditorWindowMenu.h"

#include <QDialog>
#include <QRect>

#include <map>
#include <memory>

class EditorBankPanel;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QtEditorQuestions;
class TransferProgressRow;
class WorkOfferBar;
class WorkOfferView;
class VanetoEditorController;

// The editor's main window: the dialog of template 102 built with Qt Widgets. Every control sits
// at its template rectangle in dialog units, mapped to pixels through the dialog font (one
// horizontal unit is a quarter of the average character width, one vertical unit an eighth of
// the character height), so the arrangement keeps its proportions at any font size or DPI.
//
// Notifications go to the controller: a selection change in the bank list (made by the user),
// focus leaving either name edit, the buttons, Esc and the close box. Enter does nothing. The
// About box is offered as the dialog's context menu and on F1.
//
// Every EditorView call comes on the dialog's thread; post carries a worker's to it without
// waiting.
//
// Beside the template, each a class of its own that this one places: the progress row with its
// Stop button (TransferProgressRow), the bank's panel under the template (EditorBankPanel,
// Space on the bank list plays as its Play button does), the window's menu and keys
// (EditorWindowMenu) and the modal questions (QtEditorQuestions). Files dropped on the window go to
// the controller, with the bank they were dropped on.
class QtEditorDialog final : public QDialog,
                             public EditorView,
                             public ResynthesisView,
                             public WaveShapingView {
public:
    static constexpr const char* aboutMenuText = EditorWindowMenu::aboutText;

    explicit QtEditorDialog(QWidget* parent = nullptr);
    ~QtEditorDialog() override;

    // Handlers go to this controller from now on (nullptr: nowhere).
    void setController(VanetoEditorController* controller);

    // The control with the given number (nullptr for an unknown number).
    QWidget* control(int id) const;
    // The line that offers the work of an earlier run.
    WorkOfferView& workOffer();
    // What Browse... (and F3) opens.
    void setBrowse(std::function<void()> browse) { browse_ = std::move(browse); }

    // EditorView
    void clearList(int control) override;
    void appendToList(int control, const std::string& text) override;
    int listSelection(int control) override;
    void setListSelection(int control, int index) override;
    bool isChecked(int control) override;
    void setChecked(int control, bool checked) override;
    std::string text(int control) override;
    void setText(int control, const std::string& text) override;
    void setProgressRange(int control, std::uint16_t low, std::uint16_t high) override;
    void setProgressPosition(int control, int position) override;
    void showControl(int control, bool visible) override;
    void setFocus(int control) override;
    int messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                   Icon icon) override;
    void beep() override;
    std::optional<std::string> openFileName() override;
    std::optional<std::string> saveFileName(const std::string& filterName,
                                            const std::string& pattern,
                                            const std::string& defaultExtension) override;
    void showAboutBox() override;
    void endDialog(int result) override;
    void showWaveform(std::vector<std::int16_t> values, const std::string& line) override;
    void showPlayback(bool available, bool playing, const std::string& why) override;
    void showHistory(const std::string& undoText, const std::string& redoText) override;
    std::optional<std::size_t> chooseFrameSize(std::size_t frames, std::size_t suggested) override;
    std::optional<WaveResynthesis::Result>
    chooseResynthesis(const ResynthesisView::Setup& setup) override;
    std::optional<WaveShapingView::Choice>
    chooseShaping(const WaveShapingView::Setup& setup) override;
    bool showReading(const std::string& what, std::uint64_t done, std::uint64_t total) override;
    std::optional<double> choosePart(const std::vector<std::pair<float, float>>& overview,
                                     double seconds, double partSeconds, double start,
                                     std::function<void(double)> preview) override;
    void showWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                   const std::string& slotName, const std::string& line) override;
    void post(std::function<void()> f) override;

    // The program is ending (a signal): every open question is answered as its Esc would
    // answer it, every file dialog and progress cancelled, and from now on none opens.
    void quit();

    // Esc (and the hidden Cancel button) ask the controller.
    void reject() override;
    // Enter (and the hidden OK button) ask the controller, which does nothing.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A handler that runs the controller's command, while there is a controller. The command is a
    // template argument so that the call is a direct one.
    template <void (VanetoEditorController::*Member)()> std::function<void()> command();
    void buildControls();
    void layoutControls();
    // The control with its number, named "control<number>" (for tests and accessibility).
    void addControl(int id, QWidget* widget);
    template <typename W> W* place(W* widget, int id, int x, int y, int width, int height);

    // The progress bar's row: the bar gives way to the Stop button while that is shown.
    // Under the template: the waveform, or for a wavetable bank the wave panel, taller, which
    // makes the window taller; the line of figures under either. Sets the window's size.
    void layoutPanel();

    VanetoEditorController* controller_ = nullptr;
    DialogUnitLayout layout_{*this};
    std::map<int, QWidget*> controls_;

    QListWidget* bankList_ = nullptr;
    QLineEdit* bankNameEdit_ = nullptr;
    QLineEdit* sampleNameEdit_ = nullptr;
    QComboBox* channelList_ = nullptr;
    QComboBox* portList_ = nullptr;
    QRadioButton* selectedBankOption_ = nullptr;
    QRadioButton* allBanksOption_ = nullptr;
    QButtonGroup* optionGroup_ = nullptr;
    TransferProgressRow* progress_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* versionText_ = nullptr;
    EditorBankPanel* panel_ = nullptr;
    WorkOfferBar* offer_ = nullptr;
    std::function<void()> browse_;
    EditorWindowMenu* menu_ = nullptr;
    std::unique_ptr<QtEditorQuestions> questions_;
};
