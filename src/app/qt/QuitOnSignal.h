#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a call on the Qt thread: the handler only writes a byte to a
// pipe that a socket notifier watches. The previous handlers come back when it is destroyed.
// One at a time.
class QuitOnSignal final : public QObject {
public:
    explicit QuitOnSignal(std::function<void()> onSignal, QObject* parent = nullptr);
    ~QuitOnSignal() override;

    // Whether the handlers could be installed.
    bool isActive() const { return notifier_ != nullptr; }

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};
