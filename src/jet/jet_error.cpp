#include "jet/jet_error.h"

namespace malvorn::jet {

std::string jetErrorMessage(JetErrorKind kind, const std::string& subject,
                            const std::string& detail) {
    std::string message;
    switch (kind) {
        case JetErrorKind::kNoFile:
            message = "Jetデータベースファイルが見つかりません: " + subject;
            break;
        case JetErrorKind::kNotJet:
            message = "Jetデータベースファイルではありません: " + subject;
            break;
        case JetErrorKind::kDamaged:
            message = "Jetデータベースファイルが壊れているため読み取れません: " + subject;
            break;
        case JetErrorKind::kNoSuchTable:
            message = "テーブルがデータベースにありません: " + subject;
            break;
        case JetErrorKind::kReaderFailed:
            message = "Jetデータベースの読み取り処理が失敗しました: " + subject;
            break;
        case JetErrorKind::kEncrypted:
            message = "Jetデータベースファイルはパスワードで暗号化されているため読み取れません: " +
                      subject;
            break;
    }
    if (!detail.empty())
        message += " (" + detail + ")";
    return message;
}

std::string rowCountWarning(const std::string& path, const std::string& table,
                            std::int64_t delivered, std::int64_t recorded) {
    return "警告: テーブル " + table + " から読み取った行数 (" + std::to_string(delivered) +
           ") が定義に記録された行数 (" + std::to_string(recorded) +
           ") と異なります。ファイルが壊れている可能性があります: " + path;
}

std::string shortTableMessage(const std::string& path, const std::string& table,
                              std::int64_t delivered, std::int64_t recorded) {
    return "テーブル " + table + " から読めたのは " + std::to_string(delivered) +
           " 行で、定義に記録された " + std::to_string(recorded) +
           " 行に足りません。ファイルが壊れている可能性があります: " + path;
}

JetError makeJetError(JetErrorKind kind, const std::string& subject, const std::string& detail) {
    return JetError(kind, jetErrorMessage(kind, subject, detail));
}

}  // namespace malvorn::jet
