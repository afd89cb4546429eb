#pragma once

// What the migration's worker thread hands to the window: every call that
// shows or changes something goes over to the window's thread, so no widget
// is touched from the worker.
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>

#include "base/messages.h"
#include "core/command.h"
#include "core/migrate.h"

namespace malvorn::window {

// Boxes shown by the window's own message service, the worker waiting for
// the answer. Once the window is closing nothing more is shown: questions
// are answered No, as a closed box would.
class ThreadMessages : public base::MessageService {
  public:
    ThreadMessages(QWidget* owner, base::MessageService& inner, const std::atomic<bool>& closing)
        : owner_(owner), inner_(inner), closing_(closing) {}
    base::MessageAnswer show(const std::string& text, base::MessageIcon icon,
                             base::MessageButtons buttons, base::TitleForm title) override;
    void beep() override;

  private:
    QWidget* owner_;
    base::MessageService& inner_;
    const std::atomic<bool>& closing_;
};

// The front the worker's command sees: focus and status lines go over to the
// window's thread. The settings are saved before the worker starts, and the
// window shows its own busy state for the whole run.
class ThreadFront : public core::Front {
  public:
    ThreadFront(QWidget* owner, std::function<void(core::Field)> focus,
                std::function<void(const std::string&)> status)
        : owner_(owner), focus_(std::move(focus)), status_(std::move(status)) {}
    void focus(core::Field field) override;
    void setStatus(const std::string& text, bool repaintNow) override;

  private:
    QWidget* owner_;
    std::function<void(core::Field)> focus_;
    std::function<void(const std::string&)> status_;
};

// What the tab shows of a running migration.
class MigrationView {
  public:
    virtual ~MigrationView() = default;
    virtual void showTableStarted(const std::string& table, std::size_t number,
                                  std::size_t total) = 0;
    virtual void showRows(std::int64_t done, std::int64_t total) = 0;
    virtual void showTableFinished(const core::TableOutcome& outcome) = 0;
};

// The core's progress, handed over to `view` on the window's thread. A new
// table waits until the window has shown it (a stop asked for then takes
// effect before its first row); row counts do not wait and come at most one
// every 40 ms, the last of a table always.
class ThreadProgress : public core::MigrateProgress {
  public:
    ThreadProgress(QWidget* owner, MigrationView& view) : owner_(owner), view_(view) {}
    void tableStarted(const std::string& table, std::size_t number, std::size_t total) override;
    void rowsCopied(std::int64_t done, std::int64_t total) override;
    void tableFinished(const core::TableOutcome& outcome) override;

  private:
    QWidget* owner_;
    MigrationView& view_;
    QElapsedTimer lastRows_;
};

}  // namespace malvorn::window
