#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;
class SignalPipe;

// Turns SIGINT, SIGTERM and SIGHUP into a call on the Qt thread: a socket notifier watches the
// SignalPipe. The previous handlers come back when it is destroyed. One at a time.
class QuitOnSignal final : public QObject {
public:
    explicit QuitOnSignal(std::function<void()> onSignal, QObject* parent = nullptr);
    ~QuitOnSignal() override;

    // Whether the handlers could be installed.
    bool isActive() const { return notifier_ != nullptr; }

private:
    std::function<void()> onSignal_;
    std::unique_ptr<SignalPipe> signals_;
    QSocketNotifier* notifier_ = nullptr;
};
