#include "oracle/operation.h"

namespace malvorn::oracle {

std::string errorReportText(const std::string& heading, const std::string& procedure,
                            const OracleError& error) {
    return heading + "\rﾌﾟﾛｼｼﾞｬ：" + procedure + "\rｴﾗｰNo:" + std::to_string(error.number()) +
           "\r説 明:" + error.description() + "\rｴﾗｰｿｰｽ:" + error.source();
}

void showErrorReport(base::MessageService& messages, const std::string& heading,
                     const std::string& procedure, const OracleError& error) {
    messages.show(errorReportText(heading, procedure, error), base::MessageIcon::kExclamation,
                  base::MessageButtons::kOk, base::TitleForm::kError);
}

}  // namespace malvorn::oracle
