// The settings program's string table, once: the resource script builds its
// STRINGTABLE from this list and the tests load the same texts. Each entry is
// X(id, UTF-8 text); "\r\n" is a line break, %s filled as the code says.
#ifndef ORVANE_SETTING_STRING_TABLE_H
#define ORVANE_SETTING_STRING_TABLE_H

#define ORVANE_SETTING_STRINGS(X)                                                                  \
  X(130, "カードを %s にセットし、\r\nカード情報読込ボタンを押してください。")                       \
  X(132, "Orvane 設定")                                                                          \
  X(135, "パスワードとパスワード再入力の内容が異なります。")                                        \
  X(136, "ログイン情報を書き込みました。")                                                          \
  X(137, "ログイン情報の書き込みに失敗しました。")                                                  \
  X(139, "このカードのログイン情報はすでに保存されています。\r\nログイン情報を上書きしますか？")      \
  X(140, "このカードのログイン情報を削除しますか？")                                                \
  X(141, "ログイン情報の削除に失敗しました。")                                                      \
  X(143, "このカード%sのログイン情報は登録されています。\r\n登録日時：")                             \
  X(144, "ログイン情報を削除しました。")                                                            \
  X(145, "カード情報読込停止(&T)")                                                                 \
  X(146, "カード情報読込(&G)")                                                                     \
  X(147, "カード情報を読み込みます。\r\nカードを %s にセットしてください。")                        \
  X(148, "カード%sの情報を読み込みました。\r\nパスワードを入力して登録ボタンを押してください。")      \
  X(149, "登録日時")                                                                               \
  X(150, "カードの説明")                                                                           \
  X(151, "音声ファイルが見つかりません。")                                                          \
  X(152, "wav ファイル(*.wav)")                                                                    \
  X(153, "カード認識時の出力音声を選択してください")                                                \
  X(158, "認識音情報を書き込みました。")                                                            \
  X(159, "認識音情報の書き込みに失敗しました。")                                                    \
  X(160, "しない")                                                                                 \
  X(161, "カード認識時")                                                                           \
  X(162, "ユーザー認識時")                                                                         \
  X(163, "このカードは使用できません。")                                                            \
  X(164, "ログオフ")                                                                               \
  X(165, "リブート")                                                                               \
  X(166, "シャットダウン")                                                                         \
  X(168, "カード取り外し時の動作を更新しました。")                                                  \
  X(169, "カード取り外し時の動作は現在ログイン中のユーザーの場合のみ変更できます。")                  \
  X(170, "チェック間隔には1以上の値を入力してください。")                                          \
  X(171, "設定に変更がないため登録は実行されませんでした。")                                        \
  X(172, "サインアウト")                                                                           \
  X(173, "カードの説明を更新しました。")                                                            \
  X(174, "ユーザー名およびパスワードが長すぎます。")                                                \
  X(175, "カードの説明が長すぎます。")                                                              \
  X(176, "OrvaneChecker の自動起動を登録できなかったため、カード取り外し時の動作は実行されません。") \
  X(177, "このカードは登録されていません。パスワードを入力して登録してください。")                  \
  X(178, "ロック")

#define IDS_READER_READY 130
#define IDS_CAPTION 132
#define IDS_PASSWORDS_DIFFER 135
#define IDS_WRITTEN 136
#define IDS_WRITE_FAILED 137
#define IDS_OVERWRITE 139
#define IDS_DELETE_QUESTION 140
#define IDS_DELETE_FAILED 141
#define IDS_REGISTERED 143
#define IDS_DELETED 144
#define IDS_STOP_READING 145
#define IDS_READ_CARD 146
#define IDS_READING 147
#define IDS_CARD_READ 148
#define IDS_COLUMN_TIME 149
#define IDS_COLUMN_DESCRIPTION 150
#define IDS_SOUND_FILE_MISSING 151
#define IDS_WAV_FILTER 152
#define IDS_BROWSE_TITLE 153
#define IDS_SOUND_WRITTEN 158
#define IDS_SOUND_WRITE_FAILED 159
#define IDS_MODE_NEVER 160
#define IDS_MODE_CARD 161
#define IDS_MODE_USER 162
#define IDS_CARD_UNUSABLE 163
#define IDS_LOG_OFF 164
#define IDS_REBOOT 165
#define IDS_SHUT_DOWN 166
#define IDS_REMOVAL_UPDATED 168
#define IDS_NOT_OWNER 169
#define IDS_INTERVAL_TOO_SMALL 170
#define IDS_NOTHING_CHANGED 171
#define IDS_SIGN_OUT 172
#define IDS_DESCRIPTION_UPDATED 173
#define IDS_LOGIN_TOO_LONG 174
#define IDS_DESCRIPTION_TOO_LONG 175
#define IDS_NO_AUTOSTART 176
#define IDS_NOT_REGISTERED 177
#define IDS_LOCK 178

#endif
