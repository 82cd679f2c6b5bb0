#include "editor/BrowserController.h"

#include "editor/AuditionController.h"
#include "document/BankDocument.h"
#include "editor/ImportController.h"
#include "device/DvVaneto.h"

BrowserController::BrowserController(EditorView& view, BankDocument& document,
                                     PreviewController& preview, ImportController& imports,
                                     std::function<int()> selectedBank)
    : document_(document), imports_(imports), selectedBank_(std::move(selectedBank)),
      audition_(
          std::make_unique<AuditionController>(view, preview, [this](const std::string& line) {
              if (say_) {
                  say_(line);
              }
          })) {}

BrowserController::~BrowserController() = default;

void BrowserController::audition(const std::string& path) {
    const int bank = std::max(0, selectedBank_());
    audition_->audition({path, bank, !document_.banks().isSingleSample(bank)});
}

void BrowserController::toggleAudition() {
    audition_->toggle();
}

void BrowserController::take(const std::string& path) {
    imports_.drop({path}, -1);
}

void BrowserController::setBrowserLine(std::function<void(const std::string&)> say) {
    say_ = std::move(say);
}
