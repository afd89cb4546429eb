#include "base/messages.h"

namespace malvorn::base {

std::string messageTitle(TitleForm form) {
    switch (form) {
        case TitleForm::kError:
            return "Malvorn - エラーメッセージ";
        case TitleForm::kBracketedError:
            return "[Malvorn] - エラーメッセージ";
        case TitleForm::kDeleteConfirm:
            return "Malvorn - 削除確認";
        case TitleForm::kPlain:
            break;
    }
    return "Malvorn";
}

}  // namespace malvorn::base
