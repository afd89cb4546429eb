// How the commands refuse typed text that would change a statement or a
// stored script (convert/typed_names), as their boxes show it.
#pragma once

#include <string>

namespace malvorn::core {

// After the name's kind and the name itself, as 「name.
inline const std::string kNameRule =
    "」はSQL文にそのまま書けません。文字で始まり、文字・数字・_ $ # だけからなる、"
    "予約語でない128バイト以内の名前を指定してください";
inline const std::string kPasswordRule = "パスワードに二重引用符 (\") や制御文字は使えません";

}  // namespace malvorn::core
