#pragma once
// What user information may reach the game client's command line. A web page
// (through the URL protocol) or a token server supplies it, so it is checked
// before anything is started with it. Pure text rules, free of windows.h.
#include <string>

namespace launch {

// Empty when `userInfo` may go on the command line; otherwise why not, e.g.
// "blank in piece 2" or "reserved word shell". A value must hold no blank,
// control character or '"', and no piece may name one of the launcher's own
// words (shell, wdver, cmdKey, qosStartAt, qosSeq, hide, cmd), in any letter
// case, since the client would read it as the launcher's.
std::string UserInfoProblem(const std::wstring& userInfo);

// True for the words the launcher itself puts on the command lines.
bool IsLauncherWord(const std::wstring& key);

}  // namespace launch
