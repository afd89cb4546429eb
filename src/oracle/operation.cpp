#include "oracle/operation.h"

namespace malvorn::oracle {

std::string errorReportText(const std::string& heading, const std::string& procedure,
                            const OracleError& error) {
    return heading + "\rﾌﾟﾛｼｼﾞｬ：" + procedure + "\rｴﾗｰNo:" + std::to_string(error.number()) +
           "\r説 明:" + error.description() + "\rｴﾗｰｿｰｽ:" + error.source();
}

void showErrorReport(shell::MessageService& messages, const std::string& heading,
                     const std::string& procedure, const OracleError& error) {
    messages.show(errorReportText(heading, procedure, error), shell::MessageIcon::kExclamation,
                  shell::MessageButtons::kOk, shell::TitleForm::kError);
}

}  // namespace malvorn::oracle
