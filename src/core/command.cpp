#include "core/command.h"

#include "base/files.h"
#include "jet/jet_error.h"
#include "oracle/operation.h"

namespace malvorn::core {

bool isBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

SessionOpener sessionOpener(oracle::Drivers drivers) {
    return [drivers = std::move(drivers)](const model::ConnectionFields& fields) {
        return oracle::openSession(fields, drivers);
    };
}

std::string Front::refusalText(const Check& check) {
    return check.message;
}

bool passChecks(std::initializer_list<Check> checks, base::TitleForm title, Services& services) {
    for (const Check& check : checks) {
        if (!check.fails)
            continue;
        services.messages.show(services.front.refusalText(check), check.icon,
                               base::MessageButtons::kOk, title);
        if (check.focus != Field::kNone)
            services.front.focus(check.focus);
        return false;
    }
    return true;
}

oracle::OracleError reportedError(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const oracle::OracleError& error) {
        return error;
    } catch (const jet::JetError& error) {
        return {kJetErrorNumber + static_cast<std::int32_t>(error.kind()) + 1, error.what(), "Jet"};
    } catch (const base::FileError& error) {
        return {kFileErrorNumber, error.what(), "Malvorn"};
    } catch (const std::exception& error) {
        return {kOtherErrorNumber, error.what(), "Malvorn"};
    }
}

void showFailure(Services& services, const std::string& heading, const std::string& procedure,
                 const std::exception_ptr& failure) {
    oracle::showErrorReport(services.messages, heading, procedure, reportedError(failure));
}

}  // namespace malvorn::core
