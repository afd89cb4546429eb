#pragma once

#include <string>

namespace malvorn::base {

enum class MessageIcon { kCritical, kExclamation, kQuestion, kInformation };
enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

// The four title forms of the program's message boxes.
enum class TitleForm {
    kError,           // "Malvorn - エラーメッセージ"
    kBracketedError,  // "[Malvorn] - エラーメッセージ"
    kDeleteConfirm,   // "Malvorn - 削除確認"
    kPlain,           // "Malvorn"
};

std::string messageTitle(TitleForm form);

// Every message box of the program goes through this: the window shows modal
// boxes, tests script the answers, the command line prints. Lines inside
// `text` are separated by a single CR.
class MessageService {
  public:
    virtual ~MessageService() = default;
    virtual MessageAnswer show(const std::string& text, MessageIcon icon, MessageButtons buttons,
                               TitleForm title) = 0;
    virtual void beep() {}
};

}  // namespace malvorn::base
