// Coded messages: three digits, then the body. The first digit chooses the
// buttons: 0 OK, 1 OK and Cancel, 2 Abort, Retry and Ignore, 3 Yes, No and
// Cancel, 4 Yes and No, 5 Retry and Cancel (any other: OK). The second names
// the kind of message (0 a refused input, 1 a question, 2 a failure) and
// shows nothing: the program's boxes carry no icon. The third chooses the
// default button, counting from 0 in the order above (past the last: the
// first).
#pragma once

#include <QString>
#include <QtGlobal>

namespace Msg {
inline const QString NotSelected = QStringLiteral("000が選択されていません。");
inline const QString NotRegistered = QStringLiteral("000が未登録です。");
inline const QString BadInput = QStringLiteral("000入力データが正しくありません。");
inline const QString ConfirmDelete = QStringLiteral("410を削除してよろしいですか？");
inline const QString InsertFailed = QStringLiteral("020データ登録に失敗しました。");
inline const QString UpdateFailed = QStringLiteral("020データ修正に失敗しました。");
inline const QString SettingsReadFailed = QStringLiteral("020設定ファイル読み込みに失敗しました。");
inline const QString SettingsWriteFailed =
    QStringLiteral("020設定ファイル書き込みに失敗しました。");
inline const QString GeneralFailure = QStringLiteral("020処理中、異常が発生しました。");
} // namespace Msg

// What ShowMessage answers: the button the user pressed.
inline constexpr qint16 IdOk = 1, IdCancel = 2, IdAbort = 3, IdRetry = 4, IdIgnore = 5, IdYes = 6,
                        IdNo = 7;

// Shows prefix + body (at most 100 characters) + carriage return + suffix,
// titled with the application's title; returns the button pressed. `detail`,
// when given, says why: the box shows it in its details part.
qint16 ShowMessage(const QString& prefix, const QString& suffix, const QString& coded,
                   const QString& detail = QString());
