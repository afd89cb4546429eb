#include "window/migration_run.h"

#include <QMetaObject>

namespace malvorn::window {

namespace {

// Runs `call` on `owner`'s thread and waits for it.
template <typename Call>
void onWindowThreadAndWait(QWidget* owner, Call call) {
    QMetaObject::invokeMethod(owner, call, Qt::BlockingQueuedConnection);
}

template <typename Call>
void onWindowThread(QWidget* owner, Call call) {
    QMetaObject::invokeMethod(owner, call, Qt::QueuedConnection);
}

}  // namespace

base::MessageAnswer ThreadMessages::show(const std::string& text, base::MessageIcon icon,
                                         base::MessageButtons buttons, base::TitleForm title) {
    base::MessageAnswer answer =
        buttons == base::MessageButtons::kOk ? base::MessageAnswer::kOk : base::MessageAnswer::kNo;
    onWindowThreadAndWait(owner_, [&] {
        if (!closing_)
            answer = inner_.show(text, icon, buttons, title);
    });
    return answer;
}

void ThreadMessages::beep() {
    // Queued calls may run after the worker's objects are gone: they carry
    // what they need by value.
    onWindowThread(owner_, [inner = &inner_, closing = &closing_] {
        if (!*closing)
            inner->beep();
    });
}

void ThreadFront::focus(core::Field field) {
    onWindowThread(owner_, [focus = focus_, field] { focus(field); });
}

void ThreadFront::setStatus(const std::string& text, bool) {
    onWindowThread(owner_, [status = status_, text] { status(text); });
}

void ThreadProgress::tableStarted(const std::string& table, std::size_t number, std::size_t total) {
    lastRows_.invalidate();
    onWindowThreadAndWait(owner_, [&] { view_.showTableStarted(table, number, total); });
}

void ThreadProgress::rowsCopied(std::int64_t done, std::int64_t total) {
    if (done != total && lastRows_.isValid() && lastRows_.elapsed() < 40)
        return;
    lastRows_.restart();
    onWindowThread(owner_, [view = &view_, done, total] { view->showRows(done, total); });
}

void ThreadProgress::tableFinished(const core::TableOutcome& outcome) {
    onWindowThread(owner_, [view = &view_, outcome] { view->showTableFinished(outcome); });
}

}  // namespace malvorn::window
