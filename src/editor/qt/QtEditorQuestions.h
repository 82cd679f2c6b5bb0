#pragma once

#include "editor/ResynthesisView.h"
#include "editor/WaveShapingView.h"

#include "editor/EditorView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QProgressDialog;
class QWidget;

// The editor window's modal questions: message boxes, the file dialogs, the About box, how to
// take a file into wave slots, which part of a long sound, and the progress of reading one.
// Once the program is ending (quit), every open one is answered as its Esc would answer it and
// none opens any more.
class QtEditorQuestions {
public:
    explicit QtEditorQuestions(QWidget* parent);
    ~QtEditorQuestions();
    QtEditorQuestions(const QtEditorQuestions&) = delete;
    QtEditorQuestions& operator=(const QtEditorQuestions&) = delete;

    void quit();

    // As EditorView has them.
    int messageBox(const std::string& text, const std::string& caption, EditorView::Buttons buttons,
                   EditorView::Icon icon);
    std::optional<std::string> openFileName();
    std::optional<std::string> saveFileName(const std::string& filterName,
                                            const std::string& pattern,
                                            const std::string& defaultExtension);
    void showAboutBox();
    std::optional<std::size_t> chooseFrameSize(std::size_t frames, std::size_t suggested,
                                               bool offerResynthesis);
    std::optional<WaveResynthesis::Result> chooseResynthesis(const ResynthesisView::Setup& setup);
    std::optional<WaveShapingView::Choice> chooseShaping(const WaveShapingView::Setup& setup);
    std::optional<double> choosePart(const std::vector<std::pair<float, float>>& overview,
                                     double seconds, double partSeconds, double start,
                                     std::function<void(double)> preview);
    bool showReading(const std::string& what, std::uint64_t done, std::uint64_t total);

private:
    QWidget* parent_;
    bool quitting_ = false;
    // The progress of reading a long file, while one is read.
    std::unique_ptr<QProgressDialog> reading_;
};
