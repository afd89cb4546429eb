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
    }
    if (!detail.empty())
        message += " (" + detail + ")";
    return message;
}

JetError makeJetError(JetErrorKind kind, const std::string& subject, const std::string& detail) {
    return JetError(kind, jetErrorMessage(kind, subject, detail));
}

}  // namespace malvorn::jet
