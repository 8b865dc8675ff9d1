#pragma once

// Every fixed text that another host receives, or that this host shows as a notice. Peers on Windows show
// these bytes as they come, so a changed character is a change of the protocol: the Chinese texts go out
// in code page 950 and must keep encoding to the same bytes. Texts of menus and windows stay with them.
namespace wire {

// Captions of notices.
inline constexpr char SocketEngineCaption[] = "Socket Engine";
inline constexpr char ErrorMessageCaption[] = "ERROR MESSAGE";
inline constexpr char SendErrorCaption[] = "Send Error";
inline constexpr char RegistryErrorCaption[] = "REGEDIT ERROR";
inline constexpr char EmptyMessageCaption[] = "EMPTY MESSAGE";
inline constexpr char MessageStoreCaption[] = "Message Store";
inline constexpr char16_t RemoteHostCaption[] = u"遠程主機信息";
// Followed by the own nickname and "]".
inline constexpr char16_t AutoReplyCaptionStart[] = u"應答信息- [";
inline constexpr char AutoReplyCaptionEnd[] = "]";
// Followed by the sender's name from the bulletin.
inline constexpr char16_t BulletinCaptionStart[] = u"緊急通告－";
inline constexpr char16_t GuessingCaption[] = u"遠程控制警告";
inline constexpr char PasswordErrorCaption[] = "Password Error";
inline constexpr char EditProfileCaption[] = "Edit PIM";
inline constexpr char FaceRegisteredCaption[] = "Face Reg)";

// The socket engine.
inline constexpr char16_t SocketCreateFailed[] = u"套接字創建失敗!";
inline constexpr char16_t SendSocketBindFailed[] = u"發送方套按字綁定失敗!";
inline constexpr char16_t BroadcastUnavailable[] = u"無法進行UDP廣播!";
inline constexpr char16_t ListenFailed[] = u"無法打開監聽端口!";
inline constexpr char16_t DirectSocketFailed[] = u"套接字創建失敗!\n請檢查網絡是否正常!";
inline constexpr char16_t BroadcastFailed[] =
    u"套接字創建失敗，請檢查網絡是否正常!然後使用主菜單的《刷新》功能重新取得好友資料。";
inline constexpr char16_t UnrecognisedPacket[] = u"接收到無法識別的數據包，請更新程序或聯絡供應商!";
inline constexpr char16_t UnknownStream[] = u"接收到不明數據包!";
// Appended to a notice that came again within the coalescing window; %1 is how often.
inline constexpr char16_t NoticeRepeated[] = u"\n（同一通知又出現了 %1 次）";

// The message store.
inline constexpr char16_t MessagesEvicted[] = u"收到的信息太多，最舊的已讀信息已被刪除。";
inline constexpr char16_t MessagesRefused[] = u"收到的信息太多，且都未閱讀，新的信息未能保存。請先閱讀或清空信息。";

// Sending a chat message.
inline constexpr char16_t EmptyMessage[] = u"不能發送空信息!";
inline constexpr char16_t UnknownNickname[] = u"請確認所輸入的暱稱無誤，並且在線!";
inline constexpr char16_t SendFailed[] = u"發送失敗，請確認網絡正常且對方在線!";

// The main menu.
inline constexpr char16_t RegistryWriteFailed[] = u"無法寫入注冊表信息!";
inline constexpr char16_t MessagesEmptied[] = u"清空聊天記錄已完成!";

// Answers to a remote power-off request.
inline constexpr char16_t RemoteControlOff[] = u"遠程主機未啟動遠程控制!";
inline constexpr char16_t PasswordWrong[] = u"密碼錯誤!";
inline constexpr char16_t PowerOffRefused[] = u"遠程主機無法關閉!";
inline constexpr char16_t PowerOffDone[] = u"遠程主機已關閉!";
// %1 is the requester's address as it claimed it, or UnknownAddress.
inline constexpr char16_t PasswordGuessing[] =
    u"有人正在猜測本機的遠程控制密碼：十分鐘內錯了五次，最後一次的請求自稱來自 %1。"
    u"此後十分鐘內，所有遠程關機請求一律拒絕。";
inline constexpr char16_t UnknownAddress[] = u"不明位址";

// The auto-reply until the user writes one, after the prefix of the 10-point Ming notice frame:
// "您好!我現在有事忙，請稍後聯絡" with the three dots that follow in English.
inline constexpr char DefaultAutoReplyBody[] =
    "\\'b1\\'7a\\'a6\\'6e!\\'a7\\'da\\'b2\\'7b\\'a6\\'62\\'a6\\'b3\\'a8\\'c6\\'a6\\'a3\\'a1\\'41\\'bd\\'d0\\'b5"
    "\\'79\\'ab\\'e1\\'c1\\'70\\'b5\\'b8\\lang1033 ...\\lang1028\\par}";

// The profile window.
inline constexpr char16_t OldPasswordWrong[] = u"原密碼錯誤!";
inline constexpr char16_t NewPasswordsDiffer[] = u"新密碼與確認密碼不相符!";
inline constexpr char16_t NicknameMissing[] = u"請填寫你的暱稱!";
inline constexpr char16_t ProfileSaved[] = u"個人信息已修改完成!";
inline constexpr char16_t FaceRegistered[] = u"頭像已成功注冊!";

// The sender's name of a broadcast sent without one.
inline constexpr char16_t AnonymousSender[] = u"匿名";

// The game.
inline constexpr char16_t GameInvitationsOff[] = u"遠程主機未啟動遊戲邀請功能!";
inline constexpr char16_t PartnerLeft[] = u"對方已退出棋局!!";
inline constexpr char16_t PartnerCancelled[] = u"對方取消了本次約定!!";
inline constexpr char16_t PartnerResigned[] = u"本次棋局對方已認輸!!";

// Sending files.
inline constexpr char FileTransferCaption[] = "Send File";
inline constexpr char16_t FileTransferUnavailable[] = u"無法打開文件傳送端口，不能傳送文件!";

// The lasting message store and the history. Told once, and the trimming at most once a day.
inline constexpr char HistoryCaption[] = "History";
inline constexpr char16_t HistoryNotOpened[] = u"無法開啟歷史記錄資料庫，本次收到的信息在程序結束後將不會保留。";
inline constexpr char16_t HistorySetAside[] = u"歷史記錄資料庫已損壞，已另存一份並建立新的資料庫。";
inline constexpr char16_t HistoryTrimmed[] = u"歷史記錄已達容量上限，最舊的記錄已被刪除。";
inline constexpr char16_t HistoryWriteFailed[] = u"信息無法寫入歷史記錄資料庫（磁碟可能已滿），只保留到程序結束。";

} // namespace wire
