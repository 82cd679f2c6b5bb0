#pragma once

#include "editor/BrowserCommands.h"

#include <functional>
#include <memory>

class AuditionController;
class BankDocument;
class EditorView;
class ImportController;
class PreviewController;

// The editor's side of the sound browser: auditions of the selected bank's layout, and files
// taken through the import as a drop on the bank is.
class BrowserController final : public BrowserCommands {
public:
    BrowserController(EditorView& view, BankDocument& document, PreviewController& preview,
                      ImportController& imports, std::function<int()> selectedBank);
    ~BrowserController() override;

    void audition(const std::string& path) override;
    void toggleAudition() override;
    void take(const std::string& path) override;
    void setBrowserLine(std::function<void(const std::string&)> say) override;

private:
    BankDocument& document_;
    ImportController& imports_;
    std::function<int()> selectedBank_;
    std::function<void(const std::string&)> say_;
    std::unique_ptr<AuditionController> audition_;
};
