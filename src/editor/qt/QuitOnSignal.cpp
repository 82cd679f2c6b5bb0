#include "editor/qt/QuitOnSignal.h"

#include "transfer/SignalPipe.h"

#include <QSocketNotifier>

QuitOnSignal::QuitOnSignal(std::function<void()> callback, QObject* parent)
    : QObject(parent), onSignal_(std::move(callback)), signals_(std::make_unique<SignalPipe>()) {
    if (!signals_->isActive()) {
        return;
    }
    notifier_ = new QSocketNotifier(signals_->readFd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        if (signals_->take() != 0 && onSignal_) {
            onSignal_();
        }
    });
}

QuitOnSignal::~QuitOnSignal() {
    delete notifier_;
    notifier_ = nullptr;
    signals_.reset();
}
