#include "base/messages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kMessages[kMessageCount] = {
    "ファイルをオープンできませんでした!!",
    "十分なメモリ容量がありません!!",
    "未サポートのフォーマットまたはフォーマットが拡張子が誤っています!!",
    "",
    "",
    "",
    "書込みできませんでした",
    "スライドショーを実行するファイルがありません",
    "",
    "",
    "拡張子を指定して下さい(.bmp,.jpg, ... )",
    "不正なフォルダです",
    "パレットを作成できませんでした",
    "",
    "減色の必要はありません",
    "色数が多すぎてオーバーフローしました\n正常な変換ができません",
    "処理を終了しました",
    "Tessamor ver2_7.htmファイルがカレントディレクトリに見当たりません",
    "サムネイルを表示するファイルがありません",
    "",
    "不適切なVersionです",
    "時間がかかりますが実行しますか?",
    "編集中の画像を廃棄してよろしいですか？",
    "%d個のファイル名を変更しました",
    "（%d個は変更できませんでした）",
    "新しいファイル名が空か、ファイル名に使えない文字（\\ / : * ? \" < > |）を含んでいます",
    "開始連番には0から999999999までの数字を入力して下さい",
    "をごみ箱に移動しますか？",
    "（読み込めないファイルのため飛ばします）",
    "Can't Lock Memory Block",
    "Can't Open Printer",
    "Can't Get Buffer Memory Area",
    "Can't Lock Buffer Memory",
    "DocumentProperties関数が失敗しました",
    "Print Error",
};

class QuietChannel : public UserChannel {
 public:
  int Message(const char*, const char*, unsigned, bool) override { return IDOK; }
  void ProgressBegin(const char*) override {}
  void ProgressStep(const char*) override {}
  void ProgressEnd() override {}
};

QuietChannel quiet_channel;
UserChannel* current_channel = &quiet_channel;

}  // namespace

const char* const kCaptionWarning = "警告";
const char* const kCaptionInfo = "情報";
const char* const kCaptionQuestion = "問合せ";
const char* const kCaptionWarningEn = "Warning";

const char* ProgressCaptionText(int caption) {
  static const char* const kCaptions[kProgressCaptionCount] = {
      "ハッシュ処理中です",
      "メディアンカット処理中です",
      "縮小処理中です",
      "処理中",
      "サムネイルリスト生成中です",
  };
  return caption >= 0 && caption < kProgressCaptionCount ? kCaptions[caption] : "";
}

Progress::Progress(int caption) { Channel().ProgressBegin(ProgressCaptionText(caption)); }

Progress::~Progress() { Channel().ProgressEnd(); }

void Progress::Step(int done, int total) {
  // About a hundred steps a run: the counter moves visibly, the window's redraws cost nothing.
  const int bucket = total > 0 ? static_cast<int>(static_cast<int64_t>(done) * 100 / total) : 0;
  if (bucket == last_shown_ && done != total) return;
  last_shown_ = bucket;
  char text[32];
  std::snprintf(text, sizeof text, "%d / %d", done, total);
  Channel().ProgressStep(text);
}

const char* MessageText(int code) {
  if (code < 0 || code >= kMessageCount) return "";
  return kMessages[code];
}

UserChannel& Channel() { return *current_channel; }

UserChannel* SetChannel(UserChannel* channel) {
  UserChannel* previous = current_channel;
  current_channel = channel ? channel : &quiet_channel;
  return previous;
}

int ShowError(int code) { return Channel().Message(MessageText(code), nullptr, MB_ICONHAND, false); }

int ShowWarning(int code, const char* caption, bool owned) {
  return Channel().Message(MessageText(code), caption, MB_ICONEXCLAMATION, owned);
}

int ShowInfo(int code, const char* caption, bool owned) {
  return Channel().Message(MessageText(code), caption, MB_ICONINFORMATION, owned);
}

int AskQuestion(const char* text, bool owned) {
  return Channel().Message(text, kCaptionQuestion, MB_OKCANCEL | MB_ICONQUESTION, owned);
}

SkipRefusals::SkipRefusals() : next_(SetChannel(this)) {}

SkipRefusals::~SkipRefusals() { SetChannel(next_); }

int SkipRefusals::Message(const char* text, const char* caption, unsigned style, bool owned) {
  if (std::strcmp(text, MessageText(kMsgNoMemory)) == 0) return next_->Message(text, caption, style, owned);
  return IDOK;
}

int ShowRefusal(int code, const char* reason) {
  Channel().Reason(reason);
  return ShowError(code);
}

Error::Error() { Channel().Message("エラーです", nullptr, MB_ICONHAND, false); }

Error::~Error() = default;

void OutOfMemoryAbort() {
  ShowError(kMsgNoMemory);
  std::abort();
}
