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

int runOracleOperation(const ConnectionFields& fields, const Drivers& drivers,
                       shell::MessageService& messages, const std::string& heading,
                       const std::string& procedure, const std::function<void(Session&)>& body) {
    try {
        CommandSession session(fields, drivers);
        body(*session);
    } catch (const OracleError& error) {
        // The session is already closed here: it went with the try block.
        showErrorReport(messages, heading, procedure, error);
        return 1;
    }
    return 0;
}

}  // namespace malvorn::oracle
