#include "core/copy_command.h"

#include "convert/typed_names.h"
#include "core/bulk_sender.h"
#include "core/row_sender.h"
#include "jet/jet_error.h"
#include "transfer/row_statements.h"

namespace malvorn::core {
namespace {

// Everything between the settings and the beep; the first failure leaves
// here, closing the session on its way out.
void copyRows(const CopyFields& f, Services& services) {
    const auto session = services.openSession(f.connection);
    // The clear comes before the Jet file is opened: it stays done even when
    // the file or table then cannot be read.
    if (f.clear)
        session->execute(transfer::clearStatement(f.table));
    const auto source = services.openJet(f.dbPath);
    const auto rows = source->openRows(f.table);
    const std::string head = transfer::statementHead(f.table, rows->columns());

    // The total is what the file records; the count shown is the rows
    // actually met, even past that total.
    const std::string ofTotal = " / " + std::to_string(rows->recordedRowCount());
    std::int64_t k = 0;
    services.front.setStatus("0" + ofTotal, true);
    const auto show = [&](std::int64_t row) {
        services.front.setStatus(std::to_string(row) + ofTotal, true);
    };
    if (f.bulkBatch > 0) {
        const transfer::RowPlace place{f.dbPath, f.table, 0};
        k = sendInBatches(*session, head, *rows, f.bulkBatch, false, &place,
                          {show, show, f.stopRequested});
    } else {
        const auto statementFor = [&](const jet::JetRow& row, std::int64_t at) {
            return transfer::rowStatement(
                head, transfer::rowLiterals(rows->columns(), row, {f.dbPath, f.table, at}));
        };
        k = sendRowByRow(*session, *rows, statementFor, {show, {}, f.stopRequested});
    }
    // A damaged file can deliver other than it records: every row met was
    // sent, and the last status says the two differ.
    if (jet::rowCountDiffers(*rows))
        services.front.setStatus(std::to_string(k) + ofTotal + " (定義の行数と異なります)", true);
    if (jet::rowsMissing(*rows) && !f.acceptShortTables)
        throw jet::JetError(jet::JetErrorKind::kDamaged,
                            jet::shortTableMessage(f.dbPath, f.table, rows->deliveredRowCount(),
                                                   rows->recordedRowCount()));
}

}  // namespace

Outcome copyTable(const CopyFields& fields, Services& services) {
    // The table name is written unquoted into DELETE and INSERT, the DELETE
    // before the Jet file is read.
    const auto table = convert::nameProblem(fields.table, convert::NameKind::kTable);
    if (!passChecks({{table.has_value(), table ? table->c_str() : "",
                      base::MessageIcon::kExclamation, Field::kTable}},
                    base::TitleForm::kError, services))
        return Outcome::kRefused;
    const BusyScope busy(services.front, Busy::kHourglassBlocked);
    try {
        services.front.saveSettings();
        copyRows(fields, services);
    } catch (const Interrupted&) {
        // Asked for: no error report; the status line keeps the last row sent.
        return Outcome::kInterrupted;
    } catch (...) {
        showFailure(services, "ﾃﾞｰﾀｾｯﾄｴﾗｰ", "fCopyTableData", std::current_exception());
        return Outcome::kFailed;
    }
    services.messages.beep();
    return Outcome::kDone;
}

}  // namespace malvorn::core
